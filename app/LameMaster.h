#pragma once

#include <QObject>

// The application controller (being built).
class LameMaster : public QObject
{
    Q_OBJECT
};
