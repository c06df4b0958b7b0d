// Cutting one list-file line into its fields.
#pragma once

#include <QString>
#include <QStringList>

// The fields of `line` between occurrences of `delimiter`, in order: always the number of delimiters in
// the line plus one (at least 1), each exactly as it stands (nothing is trimmed). "a;;c" gives a, "", c;
// an empty line gives one empty field. An empty delimiter cuts nothing: the whole line is the one field.
QStringList SplitByDelimiter(const QString& line, const QString& delimiter);
