#include "skin/display_win.h"

#include "common/text.h"
#include "settings/settings.h"
#include "skin/skin_win.h"
#include "weather/conditions_text.h"
#include "weather/weather_page.h"

namespace {

PAINTSTRUCT paintRecord;

}  // namespace

int drawDisplay(HDC target) {
  DayOutlook outlook = pageOutlook(conditions);
  std::optional<ConditionPicture> picture;
  if (outlook.weatherCode) picture = conditionPicture(*outlook.weatherCode, outlook.daytime);
  DisplayLayout layout =
      layoutDisplay(textOf(conditions.temperatureText), textOf(conditions.feelsLikeText),
                    settings.metric, skinSet.sizes, textOf(conditions.exactTemperatureText),
                    textOf(conditions.exactFeelsLikeText), picture);
  int copies = 0;
  for (const Blit& blit : layout) {
    HBITMAP bitmap = skinBitmap(blit.bitmap);
    if (!bitmap) continue;
    // The last picture copied stays selected until freeSkin.
    SelectObject(skinSet.memorySurface, bitmap);
    BitBlt(target, blit.x, blit.y, blit.width, blit.height, skinSet.memorySurface, 0, 0, SRCCOPY);
    ++copies;
  }
  return copies;
}

void paintDisplay(HWND window) {
  HDC target = BeginPaint(window, &paintRecord);
  drawDisplay(target);
  EndPaint(window, &paintRecord);
}
