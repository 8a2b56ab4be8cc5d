#include "platform/widgets/ApplicationDelegate.h"

namespace {
ApplicationDelegate *theDelegate = nullptr;
}

ApplicationDelegate *ApplicationDelegate::instance()
{
    return theDelegate;
}

QString ApplicationDelegate::confirmTitle()
{
    return theDelegate ? theDelegate->confirmButtonTitle() : QStringLiteral("OK");
}

QString ApplicationDelegate::cancelTitle()
{
    return theDelegate ? theDelegate->cancelButtonTitle() : QStringLiteral("Cancel");
}

void ApplicationDelegate::logLine(const QString &text)
{
    if (theDelegate)
        theDelegate->logOutput(QStringLiteral("\n") + text + QStringLiteral("\n"));
}

ApplicationDelegate::ApplicationDelegate()
{
    theDelegate = this;
}

ApplicationDelegate::~ApplicationDelegate()
{
    if (theDelegate == this)
        theDelegate = nullptr;
}
