// TPageLifecycle: the top document of a page's latest navigation, from the browser's answer to the load
// event.
#pragma once

#include <QSet>
#include <QString>

// Which document (by its loader's id) the navigation brought, whether it has been shown, parsed and loaded.
// The browser's answer to Page.navigate and the page's lifecycle events may come in either order; a page
// that replaces its top document by itself (a script, a refresh) makes that one the navigation's document.
class TPageLifecycle {
  public:
    // What the navigation's answer means for the wait.
    enum class Answer {
        NoDocument,   // no new document comes (a jump within the page, a download, a load cut off), or it
                      // has loaded already: the navigation is complete now
        Wait,         // the document comes, and its load event completes the navigation
        WatchShowing  // as Wait, and the page's previous document must let it be shown (see Shown)
    };
    // Page.navigate answered with this loader id (empty: no new document) and error text.
    Answer Answered(const QString& loaderId, const QString& errorText, bool isDownload, bool freshPage);
    // The top frame's lifecycle events: true when the navigation's document is now parsed (DOMContentLoaded)
    // or loaded (load).
    bool Parsed(const QString& loaderId) const { return m_answered && loaderId == m_loader; }
    bool Loaded(const QString& loaderId);
    // The top frame shows a document of this loader.
    void Shown(const QString& loaderId);
    // True when a document shown after the answer is not the navigation's (the page moved on by itself): it
    // becomes the navigation's document, which is then waited for instead.
    bool TakeOver(const QString& loaderId);
    // Forgets the answer, for the same navigation sent again on a fresh page.
    void Resend();

    bool Answered() const { return m_answered; }
    // Since the answer, a top document has been shown.
    bool ShownSinceAnswer() const { return m_shownSinceAnswer; }
    // The page shows the navigation's own document (not the one before it).
    bool DocumentShown() const { return m_answered && !m_loader.isEmpty() && m_shownLoader == m_loader; }
    // Why the browser showed its error page instead of the document; empty when the document came.
    QString NavigationError() const { return m_error; }

  private:
    bool m_answered = false;
    QString m_error;
    QString m_loader;             // the navigation's document
    QSet<QString> m_loadedEarly;  // loads seen before the answer
    QString m_shownLoader;        // of the latest top document shown
    bool m_shownSinceAnswer = false;
};
