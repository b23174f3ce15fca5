#pragma once

#include <QString>

// The id of the news item the user last opened, kept as a tagged line inside the encrypted branding
// file. The file is decrypted and re-encrypted in memory: no plain copy ever reaches the disk.

// The stored id, or an empty text when the file is missing, cannot be decrypted or holds no id.
QString ReadLastNewsId(const QString& brandingPath);

// Stores `id` in place of the first line that holds the start tag, or as a new last line. Nothing is
// written, and false returned, when the file is missing or cannot be decrypted and authenticated
// (a damaged branding file is never overwritten), when the id holds a line break (it would add lines
// of its own to the file), or when the new file cannot be written; the old file then stays whole.
bool WriteLastNewsId(const QString& brandingPath, const QString& id);
// The same, reading the branding file at `fromPath` and writing the result to `toPath`: a branding
// file that cannot be rewritten where it is gets its id kept in a copy.
bool WriteLastNewsId(const QString& fromPath, const QString& toPath, const QString& id);
