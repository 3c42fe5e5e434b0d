#include "gui/pages/FilterHintDlg.h"

#include <QPlainTextEdit>

#include "gui/shell/MakerAddresses.h"
#include "gui/shell/PageLook.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"

namespace zov::gui {

namespace {

constexpr int kIcon = 182;

QString HelpText() {
    const QString site = QString::fromStdString(MakerSite());
    return QStringList{
        "\n1.筛选器可以由多项组成，各项之间用|或换行分隔。",
        "2.筛选文件：请设置后缀名，将过滤该后缀的所有文件。如：\"*.txt|*.exe\"。",
        "3.相对路径：可以设置路径的一部分，如：*/cache/2020/*|*/temp/*。",
        "4.绝对路径：如筛选某个目录：/web1/images/*。（注：后面的写法是错的：/web1/images*）",
        "5.设置好后请手动备份一下测试是否生效。",
        "6.如果有不明白的，请联系Velmorand在线客服协助设置。",
        "7.Velmorand官方网站：" + (site.isEmpty() ? QString("（未设置）") : site),
    }
        .join("\n\n");
}

}  // namespace

CFilterHintDlg::CFilterHintDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Stowmeran 文件筛选规则说明");
    setWindowIcon(LoadIcon(kIcon));
    setFixedSize(460, 390);
    MakeWhitePage(*this);
    auto* text = new QPlainTextEdit(HelpText(), this);
    text->setObjectName("1122");
    text->setReadOnly(true);
    text->setGeometry(14, 14, 432, 320);
    text->setFont(PageFont(13));
    text->setFrameShape(QFrame::NoFrame);
    CMyButton* ok = AddButton(*this, "1095", "确定", {185, 346, 90, 28});
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace zov::gui
