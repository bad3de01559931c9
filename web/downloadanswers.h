// The page's side of the dictionary downloads: which callback follows each dictionary's download,
// and the statements that tell it where the download stands and how it ended.
#pragma once

#include "services/book.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

class DownloadService;

class DownloadAnswers : public QObject
{
    Q_OBJECT
public:
    explicit DownloadAnswers(DownloadService* service, QObject* parent = nullptr);

    // The page asks for dictionary `sku`: `callback` hears of its download from now on (of the
    // installation under way, when there is one).
    void download(const QString& sku, const QString& callback, const QVector<Book>& library);

    // The progress literal for `done` of `total` bytes (total 0: size unknown); empty from 100 %
    // on, which only the outcome tells.
    static QString progressLiteral(int done, int total);
    // The failure literal's statement for `callback`.
    static QString failureStatement(const QString& callback, QString message);

signals:
    void pageStatement(const QString& statement);

private:
    void tellPhase(const QString& sku, bool installing);

    DownloadService* service;
    QHash<QString, QString> callbacks;
};
