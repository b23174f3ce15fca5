#include "publisher/LastNewsId.h"

#include "crypto/CipherFiles.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <algorithm>
#include <optional>

namespace {

const QString TagName = QStringLiteral("LastNewsId");

std::optional<QStringList> readBrandingLines(const QString& brandingPath)
{
    const std::optional<QByteArray> plain = DecryptFileToMemory(brandingPath);
    if (!plain)
        return std::nullopt;
    return SplitLines(DecodeText(*plain));
}

} // namespace

QString ReadLastNewsId(const QString& brandingPath)
{
    const std::optional<QStringList> lines = readBrandingLines(brandingPath);
    if (!lines)
        return {};
    QString text = JoinLinesCrLf(*lines);
    return ReadTaggedValue(TagName, text);
}

bool WriteLastNewsId(const QString& brandingPath, const QString& id)
{
    return WriteLastNewsId(brandingPath, brandingPath, id);
}

bool WriteLastNewsId(const QString& fromPath, const QString& toPath, const QString& id)
{
    if (id.contains(u'\r') || id.contains(u'\n'))
        return false;
    std::optional<QStringList> lines = readBrandingLines(fromPath);
    if (!lines)
        return false;
    const QString startTag = QStringLiteral("<%%") + TagName + QStringLiteral("%%>");
    const QString line = TaggedValue(TagName, id);
    const auto found = std::find_if(lines->begin(), lines->end(),
                                    [&](const QString& candidate) { return candidate.contains(startTag); });
    if (found != lines->end())
        *found = line;
    else
        lines->append(line);
    return EncryptToFile(JoinLinesCrLf(*lines).toUtf8(), toPath);
}
