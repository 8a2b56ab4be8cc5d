#pragma once

#include <QStringList>

class QFileDialog;
class QMessageBox;
class QWidget;

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
// Waits until keys typed go to `window`: it is the window with the focus. (QTest's
// qWaitForWindowActive is satisfied by a sheet or panel as soon as the window it belongs to has
// the focus, before the sheet has it.) False when that did not happen within `timeout` ms.
bool waitForKeyboard(const QWidget *window, int timeout = 15000);
} // namespace TestSheets
