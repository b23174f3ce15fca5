#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrl>

// The hosts the program talks to live here, so that one setting moves them (tests point them at a
// server of their own).

// The Google web host of the Hot Trends feed and of Google Suggest: "www.google.com", or the host
// (or host:port) that QUILLORY_GOOGLE_HOST names.
QString GoogleWebHost();

// The update server's folder for this product, ending in "/":
// "http://update.quillory.app/liveupdate/quillory/", or the URL that QUILLORY_UPDATE_URL names (a
// final "/" is added when it lacks one).
QString UpdateBaseUrl();

// A service's base address as the user wrote it: http or https, a host, perhaps a port and a path,
// and nothing else. `address` is the text without its final slashes; when it cannot be used,
// `address` is empty and `problem` says why, in the user's words.
struct ServiceBaseAddress {
    QString address;
    QString problem;
};
ServiceBaseAddress ReadServiceBaseAddress(const QString& text);

// The addresses the user chose for services (the options file's, besides those that
// QUILLORY_GOOGLE_HOST and QUILLORY_UPDATE_URL set). Whoever reads the options sets them; the HTTP
// client lets a redirect lead to them even from a public server to a local one (mirrors, tests).
void SetChosenServiceAddresses(const QStringList& baseAddresses);
// Whether `url` goes to the host and port of an address the user chose.
bool IsChosenServiceAddress(const QUrl& url);

// An address of this machine or of a private network, which a public server must not send the
// program to: loopback, link-local, private (10/8, 172.16/12, 192.168/16, the shared 100.64/10,
// fc00::/7), "this network" (0/8, ::), and the same in an IPv4 address mapped into IPv6.
bool IsLocalAddress(const QHostAddress& address);
