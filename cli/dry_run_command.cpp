// bildoro-batch --dry-run: a user's check of a list file.
#include "commands.h"
#include "list_rows.h"
#include "row_pipeline.h"
#include "terminal_text.h"

int RunDryRun(const QString& listFile, const QString& outputFolder, FILE* out, FILE* err, int shard,
              int shards) {
    // One line per row: URL, picture name and the output path, separated by tabs (a tab inside them is
    // escaped with the other controls); the path is joined as the batch run joins it (folder + "/" + picture
    // name + ".jpg"). Rows are printed as they are read: a list of any size.
    try {
        TListRows rows(listFile, shard, shards);
        while (std::optional<ListRow> row = rows.Next()) {
            // A row whose picture an earlier row writes says so in place of a path.
            const QString path = row->sameAs >= 0 ? TPictureNames::SamePictureText(row->sameAs)
                                                  : OutputPicturePath(outputFolder, row->entry.picture);
            std::fprintf(out, "%s\t%s\t%s\n", TerminalText(row->entry.url).constData(),
                         TerminalText(row->entry.picture).constData(), TerminalText(path).constData());
        }
    } catch (const ListFileError& e) {
        std::fflush(out);
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(e.Message()).constData());
        return kExitCannotStart;
    }
    std::fflush(out);
    return kExitOk;
}
