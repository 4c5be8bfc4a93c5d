#!/usr/bin/env python3
"""A stand-in weather service whose pages carry hostile bytes.

Serves on 127.0.0.1 a results page whose names hold CR LF and "[x]" and whose
links try to reach another host, and the report page of the one good link.
A second listener on 127.0.0.2 stands for that other host. Each listener
logs the paths it is asked for, one a line. Writes "PORT OTHER_PORT" to the
file named first once both listen; stops after the seconds named second.
"""
import http.server
import sys
import threading

NAME = "Evil\r\n[x]\r\nTown"


def results_page(other_port):
    other = f"127.0.0.2:{other_port}"
    links = [
        ("/report/evil", NAME),
        (f"@{other}/x", "Elsewhere"),
        (f"//{other}/y", "Elsewhere too"),
        ("/a\\..\\b", "Backslashed"),
    ]
    items = "".join(
        f'<li><a class="resolveLinkSpecial" href="{link}">{name}</a></li>\n'
        for link, name in links)
    return ("<html><body><h2>Matching locations &mdash; 4 found</h2>\n<ul>\n"
            f"{items}</ul></body></html>\n")


REPORT = ("<html><body><h1 id=\"currentWeather\">" + NAME + "</h1>\n"
          "<span id=\"currentTemperature\">55&deg;F</span>\n"
          "<dt>Feels Like:</dt><dd class=\"value feels-like\">50&deg;F</dd>\n"
          "</body></html>\n")


def handler(log, body_for):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            with open(log, "a") as out:
                out.write(self.path + "\n")
            body = body_for(self.path).encode("latin-1")
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=windows-1252")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def main():
    ready, seconds, log, other_log = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
    other = http.server.ThreadingHTTPServer(("127.0.0.2", 0), handler(other_log, lambda _: ""))
    other_port = other.server_address[1]
    service = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0),
        handler(log, lambda path: REPORT if path.startswith("/report/") else
                results_page(other_port)))
    for server in (service, other):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(ready, "w") as out:
        out.write(f"{service.server_address[1]} {other_port}\n")
    threading.Event().wait(seconds)


if __name__ == "__main__":
    main()
