#pragma once

#include <QString>

// The hosts the program talks to live here, so that one setting moves them (tests point them at a
// server of their own).

// The Google web host of the Hot Trends feed and of Google Suggest: "www.google.com", or the host
// (or host:port) that QUILLORY_GOOGLE_HOST names.
QString GoogleWebHost();
