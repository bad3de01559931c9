// The program's own object on the session bus (interface it.zenta.Vocalume): a desktop key
// binding or launcher looks a word, or the current selection, up in the dictionaries.
#pragma once

#include <QObject>

class DesktopRequests : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "it.zenta.Vocalume")
public:
    using QObject::QObject;

public slots:
    void Cerca(const QString& parola) { emit lookUpWanted(parola); }
    void CercaSelezione() { emit selectionLookUpWanted(); }

signals:
    void lookUpWanted(const QString& word);
    void selectionLookUpWanted();
};
