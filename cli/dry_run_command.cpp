// bildoro-batch --dry-run: a user's check of a list file.
#include "commands.h"
#include "list_file.h"
#include "row_pipeline.h"
#include "terminal_text.h"

int RunDryRun(const QString& listFile, const QString& outputFolder, FILE* out, FILE* err) {
    std::vector<WebsiteEntry> rows;
    try {
        rows = ReadListFile(listFile);
    } catch (const ListFileError& e) {
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(QString::fromUtf8(e.what())).constData());
        return 1;
    }
    // One line per row: URL, picture name and the output path, separated by tabs (a tab inside them is
    // escaped with the other controls); the path is joined as the batch run joins it (folder + "/" + picture
    // name + ".jpg").
    for (const WebsiteEntry& row : rows) {
        const QString path = OutputPicturePath(outputFolder, row.picture);
        std::fprintf(out, "%s\t%s\t%s\n", TerminalText(row.url).constData(),
                     TerminalText(row.picture).constData(), TerminalText(path).constData());
    }
    std::fflush(out);
    return 0;
}
