#include "app/Skin.h"

#include <QApplication>
#include <QFile>

namespace {

// The colours of the skin's @name@ places in each tone.
struct ToneColor {
    const char* name;
    const char* light;
    const char* dark;
};

constexpr ToneColor ToneColors[] = {
    {"text", "#1d2430", "#e3e7ed"},         {"window", "#f4f6f9", "#1b1f26"},
    {"surface", "#ffffff", "#242a33"},      {"alternate", "#f7f9fc", "#2a313b"},
    {"border", "#d5dbe4", "#3a4350"},       {"control", "#76808f", "#808a9a"},
    {"bar", "#e9edf2", "#2b323c"},          {"header", "#eef1f5", "#2e353f"},
    {"headerHover", "#e1e9f5", "#35435a"},  {"grid", "#e3e8ef", "#343c47"},
    {"hover", "#eef4fc", "#2d3b50"},        {"pressed", "#d9e7fa", "#35496b"},
    {"accent", "#1f6fd1", "#3d8bf2"},       {"accentHover", "#1a60b6", "#5a9cf5"},
    {"onAccent", "#ffffff", "#ffffff"},     {"inactiveSelection", "#5b93dc", "#3b5f8f"},
    {"disabled", "#f0f2f5", "#22272e"},     {"disabledBorder", "#dde2e9", "#333a45"},
    {"disabledText", "#9aa4b2", "#6b7584"}, {"linkHover", "#0000ff", "#8cbcff"},
    {"tooltip", "#1d2430", "#e3e7ed"},      {"tooltipText", "#ffffff", "#1b1f26"},
};

QColor colorOf(const char* name, SkinTone tone)
{
    for (const ToneColor& color : ToneColors) {
        if (qstrcmp(color.name, name) == 0)
            return QColor(QLatin1String(tone == SkinTone::Dark ? color.dark : color.light));
    }
    return {};
}

} // namespace

const QPalette& DesktopPalette()
{
    static const QPalette desktop = QGuiApplication::palette();
    return desktop;
}

SkinTone ToneOf(LookTheme theme, const QPalette& desktop)
{
    switch (theme) {
    case LookTheme::Light:
        return SkinTone::Light;
    case LookTheme::Dark:
        return SkinTone::Dark;
    case LookTheme::System:
        break;
    }
    const bool darkWindow = desktop.color(QPalette::Window).lightness() < 128;
    const bool darkGtk =
        qEnvironmentVariable("GTK_THEME").endsWith(QLatin1String(":dark"), Qt::CaseInsensitive);
    return darkWindow || darkGtk ? SkinTone::Dark : SkinTone::Light;
}

QString BuiltInSkin(SkinTone tone)
{
    QFile file(QStringLiteral(":/skin/quillory.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString sheet = QString::fromUtf8(file.readAll());
    for (const ToneColor& color : ToneColors)
        sheet.replace(u'@' + QLatin1String(color.name) + u'@',
                      QLatin1String(tone == SkinTone::Dark ? color.dark : color.light));
    return sheet;
}

QPalette SkinPalette(SkinTone tone)
{
    const auto color = [tone](const char* name) { return colorOf(name, tone); };
    QPalette palette;
    palette.setColor(QPalette::Window, color("window"));
    palette.setColor(QPalette::WindowText, color("text"));
    palette.setColor(QPalette::Base, color("surface"));
    palette.setColor(QPalette::AlternateBase, color("alternate"));
    palette.setColor(QPalette::Text, color("text"));
    palette.setColor(QPalette::Button, color("surface"));
    palette.setColor(QPalette::ButtonText, color("text"));
    palette.setColor(QPalette::BrightText, color("onAccent"));
    palette.setColor(QPalette::Highlight, color("accent"));
    palette.setColor(QPalette::HighlightedText, color("onAccent"));
    palette.setColor(QPalette::ToolTipBase, color("tooltip"));
    palette.setColor(QPalette::ToolTipText, color("tooltipText"));
    palette.setColor(QPalette::PlaceholderText, color("disabledText"));
    palette.setColor(QPalette::Link, color("accent"));
    palette.setColor(QPalette::LinkVisited, color("accentHover"));
    palette.setColor(QPalette::Light, color("surface"));
    palette.setColor(QPalette::Midlight, color("bar"));
    palette.setColor(QPalette::Mid, color("control"));
    palette.setColor(QPalette::Dark, color("border"));
    palette.setColor(QPalette::Shadow, tone == SkinTone::Dark ? QColor(Qt::black) : color("control"));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, color("disabledText"));
    palette.setColor(QPalette::Disabled, QPalette::Base, color("disabled"));
    palette.setColor(QPalette::Disabled, QPalette::Button, color("disabled"));
    return palette;
}

QColor AccentColor(SkinTone tone)
{
    return colorOf("accent", tone);
}

void ApplySkin(const QString& styleSheet)
{
    qApp->setStyleSheet(styleSheet);
}

void ApplyBuiltInSkin(SkinTone tone)
{
    // The desktop's palette is known before the program's takes its place.
    (void)DesktopPalette();
    QApplication::setPalette(SkinPalette(tone));
    ApplySkin(BuiltInSkin(tone));
}
