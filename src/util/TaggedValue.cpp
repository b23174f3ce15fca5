#include "util/TaggedValue.h"

#include "util/CutBetween.h"

namespace {

QString startTag(const QString& name)
{
    return QLatin1String("<%%") + name + QLatin1String("%%>");
}

QString endTag(const QString& name)
{
    return QLatin1String("<%%/") + name + QLatin1String("%%>");
}

} // namespace

QString TaggedValue(const QString& name, const QString& value)
{
    return startTag(name) + value + endTag(name);
}

QString ReadTaggedValue(const QString& name, QString& workingText)
{
    return CutBetween(startTag(name), endTag(name), 0, workingText);
}
