#include "watchlist/changefailure.h"

namespace velmora {

QString StoreFailureText(const StoreError &error, WatchListChange change)
{
    const QString file = QString::fromStdString(error.file);
    const QString reason = QString::fromLocal8Bit(error.reason.c_str());
    const QString what = change == WatchListChange::Add ? QStringLiteral("股票没有添加")
                                                        : QStringLiteral("股票没有删除");
    if (error.readOnlyRun) {
        return QStringLiteral("启动时无法读取磁盘上的自选股列表（%1：%2）。\n为保护该列表，本次运行"
                              "不会修改任何自选股文件：%3，磁盘上的列表没有改变。")
            .arg(file, reason, what);
    }
    return QStringLiteral("无法写入自选股文件 %1：%2。\n%3，磁盘上的列表没有改变。")
        .arg(file, reason, what);
}

QString LoadFailureText(const StoreError &error)
{
    return QStringLiteral("无法读取自选股文件 %1：%2。\n为保护磁盘上的列表，本次运行不会写入任何自选股文件。")
        .arg(QString::fromStdString(error.file), QString::fromLocal8Bit(error.reason.c_str()));
}

} // namespace velmora
