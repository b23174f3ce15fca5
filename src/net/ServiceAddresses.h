#pragma once

#include <QString>

// The hosts the program talks to live here, so that one setting moves them (tests point them at a
// server of their own).

// The Google web host of the Hot Trends feed and of Google Suggest: "www.google.com", or the host
// (or host:port) that QUILLORY_GOOGLE_HOST names.
QString GoogleWebHost();

// The update server's folder for this product, ending in "/":
// "http://update.quillory.app/liveupdate/quillory/", or the URL that QUILLORY_UPDATE_URL names (a
// final "/" is added when it lacks one).
QString UpdateBaseUrl();
