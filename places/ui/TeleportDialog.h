#pragma once

#include "places/Position.h"

#include <QDialog>

#include <string>

class QLineEdit;

// "Teleport": a world and coordinates, pre-filled with where the bot is. Target() reads both fields as one
// location; a coordinate left out is 0.
class TeleportDialog : public QDialog {
    Q_OBJECT

public:
    TeleportDialog(const std::string &world, const Position &bot, QWidget *parent = nullptr);

    TeleportTarget Target() const;

    QLineEdit *WorldField() const { return world_; }
    QLineEdit *CoordinatesField() const { return coordinates_; }

private:
    QLineEdit *world_ = nullptr;
    QLineEdit *coordinates_ = nullptr;
};
