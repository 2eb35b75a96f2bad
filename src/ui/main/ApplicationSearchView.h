#pragma once

#include <QWidget>

class QLineEdit;

namespace norvelle {

// The sidebar's search field: a magnifier and a borderless text field with the placeholder
// "Search". Every edit is reported at once; Return and focus changes do nothing.
class ApplicationSearchView : public QWidget {
    Q_OBJECT
public:
    explicit ApplicationSearchView(QWidget* parent = nullptr);

    QString searchText() const;
    void setSearchText(const QString& text);

Q_SIGNALS:
    void searchTextChanged(const QString& text);

private:
    QLineEdit* m_field = nullptr;
};

} // namespace norvelle
