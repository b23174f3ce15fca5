#pragma once

#include "util/ProgramOptions.h"

#include <QPalette>
#include <QString>

// The skin is a Qt style sheet applied to the whole application, so every window of the program
// wears it. The built-in one ships in the resources, in a light and a dark tone; the widgets it
// does not reach draw with the palette of the same tone. A reseller's skin replaces it whole.

enum class SkinTone { Light, Dark };

// The palette of the desktop, as it was before the program set its own.
const QPalette& DesktopPalette();
// The tone for `theme`: for System, the desktop's (a dark window colour, or a GTK theme named
// ":dark").
SkinTone ToneOf(LookTheme theme, const QPalette& desktop = DesktopPalette());

QString BuiltInSkin(SkinTone tone = SkinTone::Light);
QPalette SkinPalette(SkinTone tone);
// The colour of the skin's accent in `tone` (the icons of the top bar are drawn in it).
QColor AccentColor(SkinTone tone);

void ApplySkin(const QString& styleSheet);
// The built-in skin in `tone`, with its palette.
void ApplyBuiltInSkin(SkinTone tone);
