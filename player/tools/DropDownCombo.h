// A drop-down list that tells its owner before it opens: the decoder lists
// fill themselves then.
#pragma once

#include <QComboBox>

#include <functional>

class TDropDownCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;
    void showPopup() override
    {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};
