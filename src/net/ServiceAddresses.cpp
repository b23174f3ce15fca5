#include "net/ServiceAddresses.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ServiceAddresses", text);
}

QStringList& chosenAddresses()
{
    static QStringList addresses;
    return addresses;
}

// Host (lower case) and port of an http(s) URL, the port its scheme's default when none is given.
std::optional<std::pair<QString, int>> hostAndPort(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return std::pair{url.host().toLower(), url.port(scheme == u"https" ? 443 : 80)};
}

// The port written in the authority of `text` ("host:99999"), when there is one.
QString writtenPort(const QString& text)
{
    const qsizetype start = text.indexOf(QLatin1String("://"));
    if (start < 0)
        return {};
    QString authority = text.mid(start + 3);
    const qsizetype end = authority.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    if (end >= 0)
        authority.truncate(end);
    authority.remove(0, authority.lastIndexOf(u'@') + 1);
    const qsizetype bracket = authority.lastIndexOf(u']');
    const qsizetype colon = authority.lastIndexOf(u':');
    return colon > bracket ? authority.mid(colon + 1) : QString();
}

} // namespace

QString GoogleWebHost()
{
    const QString host = qEnvironmentVariable("QUILLORY_GOOGLE_HOST").trimmed();
    return host.isEmpty() ? QStringLiteral("www.google.com") : host;
}

QString UpdateBaseUrl()
{
    const QString url = qEnvironmentVariable("QUILLORY_UPDATE_URL").trimmed();
    if (url.isEmpty())
        return QStringLiteral("http://update.quillory.app/liveupdate/quillory/");
    return url.endsWith(u'/') ? url : url + u'/';
}

ServiceBaseAddress ReadServiceBaseAddress(const QString& text)
{
    QString address = text.trimmed();
    while (address.endsWith(u'/'))
        address.chop(1);
    if (address.isEmpty())
        return {};
    const auto refused = [](const QString& problem) { return ServiceBaseAddress{QString(), problem}; };
    // The protocol: the word before "://", or before ":" for those that need no slashes ("data:").
    static const QRegularExpression protocol(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(//)?"));
    const QRegularExpressionMatch named = protocol.match(address);
    const QString scheme = named.captured(1).toLower();
    const bool slashes = named.hasCaptured(2);
    if ((scheme == u"http" || scheme == u"https") && slashes) {
        // An address of the web.
    } else if (named.hasMatch() && (slashes || QStringList{u"data"_s, u"file"_s, u"javascript"_s, u"mailto"_s,
                                                           u"about"_s, u"ftp"_s}
                                                   .contains(scheme))) {
        return refused(tr("only http and https addresses are used, not %1:").arg(scheme));
    } else {
        return refused(tr("it is not an address: it begins with neither http:// nor https://"));
    }
    if (const QString port = writtenPort(address); !port.isEmpty()) {
        bool number = false;
        const int value = port.toInt(&number);
        if (!number || value < 1 || value > 65535)
            return refused(tr("its port %1 is not a number from 1 to 65535").arg(port));
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || address.contains(QRegularExpression(QStringLiteral("[\\s\\x00-\\x1f\\x7f]"))))
        return refused(tr("it is not a valid address"));
    if (url.host().isEmpty())
        return refused(tr("it names no host"));
    if (!url.userInfo().isEmpty())
        return refused(tr("it holds a user name or password, which the program does not send"));
    if (url.hasQuery() || url.hasFragment())
        return refused(tr("a base address has no query (?…) or fragment (#…) after its path"));
    return {address, QString()};
}

void SetChosenServiceAddresses(const QStringList& baseAddresses)
{
    chosenAddresses() = baseAddresses;
}

bool IsChosenServiceAddress(const QUrl& url)
{
    const auto target = hostAndPort(url);
    if (!target)
        return false;
    // The environment's addresses count when they are set, not the built-in ones they replace.
    QStringList addresses = chosenAddresses();
    if (qEnvironmentVariableIsSet("QUILLORY_GOOGLE_HOST"))
        addresses << QStringLiteral("http://") + GoogleWebHost();
    if (qEnvironmentVariableIsSet("QUILLORY_UPDATE_URL"))
        addresses << UpdateBaseUrl();
    for (const QString& address : std::as_const(addresses)) {
        if (hostAndPort(QUrl(address)) == target)
            return true;
    }
    return false;
}

bool IsLocalAddress(const QHostAddress& given)
{
    QHostAddress address = given;
    bool mapped = false;
    if (const quint32 v4 = given.toIPv4Address(&mapped); mapped)
        address = QHostAddress(v4);
    if (address.isNull())
        return false;
    if (address.isLoopback() || address.isLinkLocal() || address.isSiteLocal() ||
        address.isUniqueLocalUnicast() || address == QHostAddress::AnyIPv4 ||
        address == QHostAddress::AnyIPv6)
        return true;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        for (const auto& [network, length] : {std::pair{"0.0.0.0", 8},
                                              {"10.0.0.0", 8},
                                              {"100.64.0.0", 10},
                                              {"172.16.0.0", 12},
                                              {"192.168.0.0", 16}}) {
            if (address.isInSubnet(QHostAddress(QLatin1String(network)), length))
                return true;
        }
    }
    return false;
}
