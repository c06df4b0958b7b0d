// The images viewer: folder and mask, reload, and the drawing of one picture cell.
#include "images_viewer.h"

#include "picture_item.h"

#include <dirent.h>
#include <sys/stat.h>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {

// One shared 8 x 8 checker per colour pair: (x, y) has the odd colour when x and y are both even or both odd.
QBrush SelectionBrush(const TBrushPattern& pattern) {
    if (!pattern.active) return QBrush(pattern.oddColor);
    static QHash<QPair<QRgb, QRgb>, QBrush> shared;
    const QPair<QRgb, QRgb> key(pattern.evenColor.rgb(), pattern.oddColor.rgb());
    auto it = shared.find(key);
    if (it == shared.end()) {
        QImage checker(8, 8, QImage::Format_RGB32);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) checker.setPixel(x, y, (x % 2 == y % 2) ? key.second : key.first);
        it = shared.insert(key, QBrush(checker));
    }
    return *it;
}

// Folder text and the name pattern of one mask entry: a pattern may name a sub-folder before its last "/".
std::pair<QString, QString> SplitPattern(const QString& folderText, const QString& pattern) {
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return {folderText, pattern};
    return {folderText + pattern.left(slash + 1), pattern.mid(slash + 1)};
}

// Names of the files (not directories) in one folder; an empty folder text is the current directory. Read
// with the folder's own entry types: only a link, or an entry of a file system that does not tell, costs a
// look at what it is (a link to a folder is a folder).
QStringList FileNamesIn(const QString& folderText) {
    QStringList names;
    const QByteArray folder = folderText.isEmpty() ? QByteArray(".") : QFile::encodeName(folderText);
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return names;  // a missing or unreadable folder lists nothing
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = ::fstatat(fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isFolder) names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    return names;
}

}  // namespace

TImagesViewer::TImagesViewer(QWidget* parent) : TCustomItemViewer(parent), m_fileMask(DefaultFileMask()) {
    m_imageOptions = TImageViewerOptions();
    SetItemOptions(m_imageOptions);
}

TImagesViewer::~TImagesViewer() = default;

void TImagesViewer::SetDirectory(const QString& directory) {
    if (directory == m_directory) return;
    m_directory = directory;
    RefreshFromFolder();
}

void TImagesViewer::SetFileMask(const QString& mask) {
    if (mask == m_fileMask) return;
    m_fileMask = mask;
    RefreshFromFolder();
}

bool TImagesViewer::RefreshFromFolder() {
    BeginUpdate();
    bool any = false;
    try {
        SetItemCount(0);
        QString folderText = AbsolutePath(m_directory);
        const QStringList patterns = SplitMask(m_fileMask);
        if (!folderText.isEmpty() && !folderText.endsWith(QLatin1Char('/'))) folderText += QLatin1Char('/');
        Q_EMIT LoadBegin();
        const QStringList files = ListMatchingFiles(folderText, patterns);
        SetItemCount(static_cast<int>(files.size()));
        for (int i = 0; i < files.size(); ++i) PictureItem(i)->SetFileName(files[i]);
        Q_EMIT LoadEnd();
        any = Count() > 0;
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return any;
}

void TImagesViewer::SetOptions(const TImageViewerOptions& options) {
    m_imageOptions = options;
    if (m_imageOptions.reduceMemoryUsage) m_imageOptions.lazyRead = true;
    SetItemOptions(m_imageOptions);
}

TPictureItem* TImagesViewer::PictureItem(int index) {
    return static_cast<TPictureItem*>(Item(index));
}

QStringList TImagesViewer::SplitMask(const QString& mask) {
    QStringList parts;
    QString current;
    for (const QChar c : mask) {
        if (c == QLatin1Char(';') || c == QLatin1Char(',')) {
            parts.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    parts.append(current);

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(parts.begin(), parts.end(),
                     [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    QStringList patterns;
    for (const QString& part : parts)
        if (patterns.isEmpty() || collator.compare(patterns.last(), part) != 0) patterns.append(part);
    return patterns;
}

QString TImagesViewer::AbsolutePath(const QString& text) {
    if (text.isEmpty()) return text;
    return QDir::current().absoluteFilePath(text);
}

QStringList TImagesViewer::ListMatchingFiles(const QString& folderText, const QStringList& patterns) {
    // One listing per folder, however many patterns search it.
    std::map<QString, QStringList> patternsByFolder;
    for (const QString& pattern : patterns) {
        auto [folder, namePattern] = SplitPattern(folderText, pattern);
        patternsByFolder[folder].append(namePattern);
    }
    QStringList found;
    for (const auto& [folder, namePatterns] : patternsByFolder) {
        const QStringList names = FileNamesIn(folder);
        for (const QString& name : names) {
            for (const QString& namePattern : namePatterns) {
                if (MatchesWildcard(name, namePattern)) {
                    found.append(folder + name);
                    break;
                }
            }
        }
    }

    // Ordered without regard to case; names that differ only in case are different files here, so both
    // stay, in a fixed order. A path found twice stays once. In one folder (the usual case) the names alone
    // are ordered: after the same folder text they fall in the same order, and their keys are shorter.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const qsizetype common = patternsByFolder.size() == 1 ? patternsByFolder.begin()->first.size() : 0;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(found.size()));
    for (const QString& path : std::as_const(found)) keys.push_back(collator.sortKey(path.mid(common)));
    std::vector<qsizetype> order(static_cast<size_t>(found.size()));
    for (size_t i = 0; i < order.size(); ++i) order[i] = qsizetype(i);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int byKey = keys[size_t(a)].compare(keys[size_t(b)]);
        if (byKey != 0) return byKey < 0;
        return found[a] < found[b];
    });
    QStringList files;
    files.reserve(found.size());
    for (const qsizetype i : order)
        if (files.isEmpty() || files.last() != found[i]) files.append(found[i]);
    return files;
}

bool TImagesViewer::MatchesWildcard(const QString& name, const QString& pattern) {
    // "*.jpg" and its like, the masks' usual form: the name's end, compared as the loop below compares.
    if (pattern.startsWith(QLatin1Char('*')) && pattern.indexOf(QLatin1Char('*'), 1) < 0 &&
        !pattern.contains(QLatin1Char('?')))
        return name.endsWith(QStringView(pattern).mid(1), Qt::CaseInsensitive);
    // Iterative matching with one back-tracking point: the last "*" seen.
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    const qsizetype nameLength = name.size(), patternLength = pattern.size();
    while (n < nameLength) {
        if (p < patternLength && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < patternLength &&
                   (pattern[p] == QLatin1Char('?') || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == QLatin1Char('*')) ++p;
    return p == patternLength;
}

QString TImagesViewer::DefaultFileMask() {
    return QStringLiteral("*.bmp;*.ico;*.jpg;*.jpeg;*.png;*.gif");
}

void TImagesViewer::PictureLoadFailed(TPictureItem* item, const QString& message) {
    Q_EMIT LoadError(item->FileName(), message);
}

std::unique_ptr<TViewerItem> TImagesViewer::CreateItem() {
    return std::make_unique<TPictureItem>(this);
}

void TImagesViewer::DrawItem(QPainter& painter, TViewerItem& viewerItem, const QRect& pictureArea,
                             const QRect& captionText) {
    auto& item = static_cast<TPictureItem&>(viewerItem);
    const TImageViewerOptions& options = m_imageOptions;
    const QPalette& pal = palette();

    painter.setFont(font());
    painter.setBrush(pal.color(QPalette::Base));
    painter.setPen(pal.color(QPalette::WindowText));

    const QString caption = item.DisplayCaption();
    QRect text = captionText.adjusted(0, 2, 0, 0);
    QRect area = pictureArea;
    bool opaqueCaption = false;
    QColor textColor = pal.color(QPalette::WindowText);
    QColor textBackground;

    if (item.IsSelected()) {
        painter.setPen(QPen(pal.color(QPalette::Button), 1));
        painter.setBrush(SelectionBrush(options.brushPattern));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        // The hot frame: the outer hotFrameSize pixels of the picture area.
        const int s = std::max(0, options.hotFrameSize);
        const QColor hot = options.hotColor.isValid() ? options.hotColor : pal.color(QPalette::Highlight);
        if (s > 0) {
            painter.fillRect(QRect(area.left(), area.top(), area.width(), s), hot);
            painter.fillRect(QRect(area.left(), area.bottom() - s + 1, area.width(), s), hot);
            painter.fillRect(QRect(area.left(), area.top(), s, area.height()), hot);
            painter.fillRect(QRect(area.right() - s + 1, area.top(), s, area.height()), hot);
        }
        textColor = pal.color(QPalette::HighlightedText);
        textBackground = pal.color(QPalette::Highlight);
        opaqueCaption = true;
    } else if (options.frameColor.isValid()) {
        painter.setPen(QPen(options.frameColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }

    const int pad = options.imagePadding;
    area.adjust(pad, pad, -pad, -pad);
    const QImage* picture = item.Picture();
    if (!picture->isNull()) {
        const QSize fitted = FitPictureRect(picture->width(), picture->height(), area.width(), area.height());
        if (fitted.width() > 0 && fitted.height() > 0) {
            const QRect target(area.left() + (area.width() - fitted.width()) / 2,
                               area.top() + (area.height() - fitted.height()) / 2, fitted.width(),
                               fitted.height());
            // Rows and columns are dropped, not blended, as the platform's colour-on-colour stretch does.
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(target, *picture);
        }
    }

    if (options.showCaptions && !caption.isEmpty() && text.width() > 0 && text.height() > 0) {
        const int flags = static_cast<int>(options.alignment) | Qt::AlignVCenter | Qt::TextSingleLine;
        const QString shown = QFontMetrics(font()).elidedText(caption, Qt::ElideRight, text.width());
        if (opaqueCaption) painter.fillRect(painter.boundingRect(text, flags, shown) & text, textBackground);
        painter.setPen(textColor);
        painter.drawText(text, flags, shown);
    }
}
