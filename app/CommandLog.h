#pragma once

#include <QObject>
#include <QString>

class QProcess;
class QWidget;

// The command log window (placeholder until the command log lands).
class CommandLog : public QObject
{
    Q_OBJECT
  public:
    explicit CommandLog(QObject *parent = nullptr);
    ~CommandLog() override;
    void logCommand(const QProcess *task);
    void logOutput(const QString &text);
    void clearLog();
    void showWindow();
    QWidget *window() const;
};
