// The library service: the account's purchase history as a list of Book records, plus the
// per-language character tables for search normalisation, which are stored in the settings
// as they are read.
#pragma once

#include "services/book.h"

#include <QObject>
#include <QString>
#include <QVector>

class HttpConnection;
class QDomElement;

class LibraryWS : public QObject
{
    Q_OBJECT
public:
    explicit LibraryWS(QObject* parent = nullptr);
    ~LibraryWS() override;

    // Asks for the account's library; a request still waiting for its reply is dropped unheard.
    void getHistory(const QString& username, const QString& sessionId);
    // Cuts the pending request short; its reply then reports "Errore di rete".
    void abort();

signals:
    void replyLibrary(QVector<Book> booksList);
    void errorMessage(QString error);

public slots:
    void libraryReply();

private:
    static Book readBook(const QDomElement& element);
    static void storeCharset(const QDomElement& field);

    HttpConnection* connection;
};
