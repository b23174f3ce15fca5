#pragma once

#include <QString>

// Tagged values of the branding file, "config.dat" and the stored news id:
// "<%%" + name + "%%>" + value + "<%%/" + name + "%%>".

QString TaggedValue(const QString& name, const QString& value);

// Reads the value of tag `name` from `workingText` with CutBetween, consuming the text up to the
// end tag; tags must therefore be read in the order in which they stand.
QString ReadTaggedValue(const QString& name, QString& workingText);
