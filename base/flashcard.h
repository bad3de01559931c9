// One card for a flash-card program: the question side and the answer side as HTML, the tags it
// is filed under, and an id that stays the same for the same entry from one export to the next,
// so that a card sent again replaces the one sent before.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct FlashCard {
    QString id;
    QString front;
    QString back;
    QStringList tags;
};

using FlashCards = QList<FlashCard>;
