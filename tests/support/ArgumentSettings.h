#pragma once

#include <QVariantMap>

// Puts the settings store into a known state for the tests of the encoder's argument list.
namespace ArgumentSettings {
// The factory values as the application registers them.
QVariantMap factoryValues();
// Makes `registered` the whole registration layer and `user` the whole user layer (of the keys the
// tests write). A user value that is an invalid QVariant removes the key from both layers. Values
// are written in the form of their type: bool, int, float or double (as a single-precision real),
// string.
void setUp(const QVariantMap &registered, const QVariantMap &user);
// The factory values under `user`.
void setUpWithFactoryValues(const QVariantMap &user);
} // namespace ArgumentSettings
