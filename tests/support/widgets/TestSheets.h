#pragma once

#include <QStringList>

class QFileDialog;
class QMessageBox;

// Finds the alert or panel that is up and answers it as a user would, by its buttons.
namespace TestSheets {
// The alert showing now, waiting up to `timeout` ms for one; nullptr when none came.
QMessageBox *waitForAlert(int timeout = 15000);
// The file panel showing now, waiting up to `timeout` ms for one.
QFileDialog *waitForPanel(int timeout = 15000);
QStringList buttonTitles(const QMessageBox *alert);
// Clicks the button with that title; false when there is none (or no alert).
bool click(QMessageBox *alert, const QString &buttonTitle);
// Types a path into a panel and confirms it; nothing without a panel.
void choose(QFileDialog *panel, const QString &path);
} // namespace TestSheets
