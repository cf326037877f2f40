// MessageListPanel: the panel with the tabs "Input" (the hex input box with
// its Translate and Add buttons) and "MsgList" (the message list with its
// load, save and clear commands and the automatic-translation check box).
// It shows the rows of a MessageList; the commands go to the main window.
// Tested by app/desktop/main_window_test.cpp.
#pragma once

#include <QWidget>

class ExtendedList;
class HexEdit;
class MessageList;
class QCheckBox;
class QLabel;
class QTabWidget;

class MessageListPanel : public QWidget {
    Q_OBJECT
  public:
    enum Tab { kInputTab = 0, kListTab = 1 };

    explicit MessageListPanel(QWidget* parent = nullptr);

    HexEdit* Input() const { return input; }
    ExtendedList* List() const { return list; }
    QCheckBox* AutoTranslate() const { return autoTranslate; }
    QTabWidget* Tabs() const { return tabs; }
    int ActiveTab() const;
    void SetActiveTab(int tab);

    // The row of the list as the panel shows it: " N", "Time", "Len" and
    // the three result texts.
    void AddRow(const MessageList& messages, int row);
    void UpdateRow(const MessageList& messages, int row);

  signals:
    void translateClicked();
    void addClicked();
    void loadClicked();
    void loadCaptureClicked();
    void saveClicked();
    void clearClicked();
    void rowActivated(int row);

  private:
    void ByteCountChanged(int count);

    QTabWidget* tabs = nullptr;
    HexEdit* input = nullptr;
    QLabel* byteCount = nullptr;
    ExtendedList* list = nullptr;
    QCheckBox* autoTranslate = nullptr;
};
