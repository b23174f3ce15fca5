#pragma once

class MessageBoxes;
class ModalDialogs;
class SaveDialog;

// What a page of the main window asks the user through: its boxes and dialogs.
struct PageSeams {
    MessageBoxes& messages;
    SaveDialog& saveDialog;
    ModalDialogs& dialogs;
};
