#include "support/TestSheets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

namespace TestSheets {
namespace {
template <typename T> T *waitFor(int timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *found = qobject_cast<T *>(widget); found && found->isVisible())
                return found;
        QTest::qWait(10);
    }
    return nullptr;
}
} // namespace

QMessageBox *waitForAlert(int timeout)
{
    return waitFor<QMessageBox>(timeout);
}

QFileDialog *waitForPanel(int timeout)
{
    return waitFor<QFileDialog>(timeout);
}

QStringList buttonTitles(const QMessageBox *alert)
{
    QStringList titles;
    for (QAbstractButton *button : alert->buttons())
        titles << button->text();
    titles.sort();
    return titles;
}

bool click(QMessageBox *alert, const QString &title)
{
    for (QAbstractButton *button : alert->buttons())
        if (button->text() == title) {
            button->click();
            return true;
        }
    return false;
}

void choose(QFileDialog *panel, const QString &path)
{
    panel->selectFile(path);
    QMetaObject::invokeMethod(panel, "accept");
}
} // namespace TestSheets
