#include "app/Skin.h"

#include <QApplication>
#include <QFile>

QString BuiltInSkin()
{
    QFile file(QStringLiteral(":/skin/quillory.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void ApplySkin(const QString& styleSheet)
{
    qApp->setStyleSheet(styleSheet);
}
