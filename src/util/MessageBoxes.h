#pragma once

#include <QString>

enum class MsgKind { Warning, Information };
// YesNo: Yes answers Ok, No answers Cancel.
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel };

// The main window's message-box component: a modal box centred on the screen, its caption and icon
// from the kind, OK the default button; Escape or closing the box answers Cancel. Tests answer from
// a script instead.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const QString& text, MsgKind kind, MsgButtons buttons) = 0;
};
