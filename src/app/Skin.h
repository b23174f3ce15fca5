#pragma once

#include <QString>

// The skin is a Qt style sheet applied to the whole application, so every window of the program
// wears it. The built-in one ships in the resources.
QString BuiltInSkin();
void ApplySkin(const QString& styleSheet);
