#include "platform/widgets/ButtonTitles.h"

namespace {
ButtonTitles *theTitles = nullptr;
}

QString ButtonTitles::confirm()
{
    return theTitles ? theTitles->confirmButtonTitle() : QStringLiteral("OK");
}

QString ButtonTitles::cancel()
{
    return theTitles ? theTitles->cancelButtonTitle() : QStringLiteral("Cancel");
}

QString ButtonTitles::save()
{
    return theTitles ? theTitles->saveButtonTitle() : QStringLiteral("Save");
}

QString ButtonTitles::choose()
{
    return theTitles ? theTitles->chooseButtonTitle() : QStringLiteral("Choose");
}

ButtonTitles::ButtonTitles()
{
    theTitles = this;
}

ButtonTitles::~ButtonTitles()
{
    if (theTitles == this)
        theTitles = nullptr;
}
