# Sourced by the end-to-end scripts, after they set $root, $exe, $driver and
# $folder: the driver, the sample service and a folder laid out as installed.

drive() { "$root/cmake/wine-run.sh" "$driver" "$@"; }
service() { bash "$root/scripts/service.sh" "$@"; }
fail() {
  echo "FAILED: $*"
  exit 1
}

# The program and its skin in a fresh $folder; the settings file's text, when
# given, as Setup\Setup.ini.
lay_out() {
  rm -rf "$folder"
  mkdir -p "$folder/Temp" "$folder/Setup"
  cp "$exe" "$folder/Skyvane.exe"
  cp -r "$root/Skins" "$folder/"
  if (($# > 0)); then printf '%s' "$1" >"$folder/Setup/Setup.ini"; fi
}

# One location, Austin, on the sample service.
austin_settings=$'[General]\r\nURL0=http://127.0.0.1:8642/report/austin-tx\r\nCity0=Austin, TX\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=false\r\n'
