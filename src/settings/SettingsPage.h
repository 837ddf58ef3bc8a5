#pragma once
// The "设置" page: the log folder, "定位目录" and "保存配制".

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace quill {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);

    QLineEdit* edt1;      // shows the log folder; what is typed into it is never read
    QPushButton* Button4; // 定位目录
    QPushButton* Button3; // 保存配制
};

} // namespace quill
