#pragma once

#include <QString>

// The folder that holds the program's data files: QUILLORY_HOME when set, else the folder of the
// executable, or the per-user application-data folder when that one cannot be written.
QString ProgramFolder();

// The program folder plus a fixed file name.
QString ProgramFile(const QString& name);
