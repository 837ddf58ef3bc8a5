#pragma once
// The updater window "软件升级": created hidden at start and shown by the "更新" page.

#include <QWidget>

namespace quill {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};

} // namespace quill
