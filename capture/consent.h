// Cookie-consent dialogs: the bridge that carries the rule library into every document, the rules a document
// is given, and what the documents of one navigation told of a dialog.
#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

// The name of the page function over which the bridge speaks to the host (a binding the bridge takes away
// from the page before any page script runs).
extern const QString kConsentBinding;

// The bridge for every document, with the library's content script inside; empty when the library is not
// built in.
const QString& ConsentScript();

// What the documents of one navigation told of a consent dialog. The host feeds it the page's events and asks
// it whether a dialog is being worked on and which platform it was. Every message is taken as the page may
// have forged it: only documents made since the navigation began are heard, within a size and a number of
// messages per document; "init" is answered once per document.
class TConsentState {
  public:
    // A new navigation: nothing heard, no document known.
    void Reset() { *this = TConsentState(); }
    // A document (execution context) made since the navigation began; `document` names it uniquely.
    void DocumentCreated(const QString& document);

    // What a message asks of the host: an expression to evaluate in the document that sent it (empty: none),
    // and whether Pending() may read differently now.
    struct Reply {
        QString evaluate;
        bool changed = false;
    };
    Reply Take(const QString& document, const QString& payload);

    // True while the library works on a dialog it found.
    bool Pending() const;
    // The platform's name (letters, digits and " ._-" only; empty when none was found), and whether the
    // dialog was refused or hidden.
    const QString& Platform() const { return m_platform; }
    bool Handled() const { return m_handled; }

  private:
    Reply Handle(const QJsonObject& message);

    struct Document {
        int messages = 0;
        bool initAnswered = false;
    };
    QHash<QString, Document> m_documents;
    QHash<QString, QString> m_states;  // the library's state in each document (by its instance)
    QString m_platform;
    bool m_handled = false;
    bool m_ended = false;  // the library gave up on the dialog it found
};
