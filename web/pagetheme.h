// Whether the desktop wants the pages dark: as its portal's colour preference says (the portal's
// values: 1 dark, 2 light, 0 none), and with no preference or no portal as the Qt palette's
// window colour (a dark window means dark). The page keeps the user's own choice of theme; this
// tells it the desktop's, on asking and again whenever that changes.
#pragma once

#include <QObject>
#include <QString>

class QPalette;

class PageTheme : public QObject {
    Q_OBJECT
public:
    explicit PageTheme(QObject* parent = nullptr);

    static bool isDark(int portalValue, const QPalette& palette);
    // "scuro" or "chiaro", the words the page's theme uses.
    QString name() const;

public slots:
    // What the portal says now (also its first answer).
    void setPortalValue(int value);

signals:
    // The statement telling the page the desktop's theme changed.
    void pageStatement(const QString& statement);

private:
    void update();

    int portalValue = 0;
    bool dark = false;
};
