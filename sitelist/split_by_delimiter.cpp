// Cutting one list-file line into its fields.
#include "split_by_delimiter.h"

QStringList SplitByDelimiter(const QString& line, const QString& delimiter) {
    if (delimiter.isEmpty()) return {line};
    QStringList fields;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = line.indexOf(delimiter, start);
        if (at < 0) break;
        fields << line.mid(start, at - start);
        start = at + delimiter.size();
    }
    // The text after the last delimiter (possibly empty) is the final field.
    fields << line.mid(start);
    return fields;
}
