#include "update/UpdateFailure.h"

#include "platform/CodePage.h"

namespace quill {
namespace {

const char* reason(UpdateFailure failure)
{
    switch (failure) {
    case UpdateFailure::Download:
        return "下载失败";
    case UpdateFailure::TimedOut:
        return "下载超时";
    case UpdateFailure::Unsigned:
        return "清单没有签名";
    case UpdateFailure::BadSignature:
        return "签名无效";
    case UpdateFailure::NoChecksum:
        return "清单没有此文件的大小和校验值";
    case UpdateFailure::SizeMismatch:
        return "文件大小与清单不符";
    case UpdateFailure::HashMismatch:
        return "文件校验值与清单不符";
    case UpdateFailure::BrokenArchive:
        return "压缩包已损坏";
    case UpdateFailure::ProtectedName:
        return "不能替换本程序自己的文件";
    case UpdateFailure::SymbolicLink:
        return "目标是符号链接";
    case UpdateFailure::NoSpace:
        return "空间不足";
    case UpdateFailure::CannotWrite:
        return "无法写入程序文件夹";
    case UpdateFailure::CannotReplaceProgram:
        return "无法替换程序文件";
    case UpdateFailure::NoProgram:
        return "升级包中没有程序";
    case UpdateFailure::LauncherNotStarted:
        return "无法启动新程序";
    }
    return "";
}

} // namespace

std::string failureText(UpdateFailure failure) { return gbk(std::string("升级失败：") + reason(failure)); }

bool isUpdateFailure(const Status& status) { return status.message().starts_with(gbk("升级失败：")); }

Status updateFailure(UpdateFailure failure) { return Status::failure(failureText(failure)); }

} // namespace quill
