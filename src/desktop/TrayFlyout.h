// The flyout card of the notification-area icon: where it goes and how it
// looks, painted into RGBA pixels.
#pragma once

#include "desktop/SystemTray.h"
#include "platform/Image.h"

namespace nbr {

// The card's rectangle for a pointer at (x, y): its lower right corner at the
// pointer unless the work area pushes it back; 296 x 152 times the scale.
ScreenRect flyoutRect(int x, int y, double scale, const ScreenRect& workArea);

// The card with the quick look's texts at a display scale.
platform::RgbaImage paintFlyout(const TrayQuickLook& look, double scale);

}  // namespace nbr
