#include "module/display/labels.h"

#include "host/ed/platform.h"

// The string table, read by the host's loader the way a resource section is read. Language:
// Chinese (PRC), 2052.
extern "C" KXDB_EXPORT const kxhost::StringResource kxStringResources[] = {
    {1052, 2052, "将块与对象对齐"},
    {1101, 2052, "阵列"},
    {1102, 2052, "翻转"},
    {1103, 2052, "查寻"},
    {1104, 2052, "移动"},
    {1105, 2052, "极轴拉伸"},
    {1106, 2052, "旋转"},
    {1107, 2052, "缩放"},
    {1108, 2052, "拉伸"},
    {1111, 2052, "对齐"},
    {1112, 2052, "翻转"},
    {1113, 2052, "线性"},
    {1114, 2052, "查寻"},
    {1115, 2052, "极轴"},
    {1116, 2052, "旋转"},
    {1117, 2052, "笛卡尔"},
    {1118, 2052, "可见性"},
    {1121, 2052, "对齐"},
    {1122, 2052, "夹点"},
    {1123, 2052, "基点"},
    {1124, 2052, "翻转"},
    {1125, 2052, "翻转状态"},
    {1126, 2052, "未翻转"},
    {1127, 2052, "已翻转"},
    {1128, 2052, "距离"},
    {1129, 2052, "线性"},
    {1130, 2052, "基准夹点"},
    {1131, 2052, "端点夹点"},
    {1132, 2052, "查寻"},
    {1133, 2052, "查寻"},
    {1134, 2052, "位置"},
    {1135, 2052, "点"},
    {1136, 2052, "极轴"},
    {1137, 2052, "角度"},
    {1138, 2052, "旋转"},
    {1139, 2052, "可见性"},
    {1140, 2052, "可见性"},
    {1141, 2052, "X 距离"},
    {1142, 2052, "Y 距离"},
    {1143, 2052, "XY"},
    {1144, 2052, "基点X-端点Y 夹点"},
    {1145, 2052, "基点Y-端点X 夹点"},
    {1146, 2052, "无"},
    {1147, 2052, "列表"},
    {1148, 2052, "增量"},
    {1149, 2052, " X"},
    {1150, 2052, " Y"},
    {1151, 2052, "块特性表"},
    {1152, 2052, "块表夹点"},
    {1153, 2052, "块表"},
    {1154, 2052, "特性表"},
    {0, 0, nullptr},
};

namespace kxdisplay {
namespace {
HINSTANCE g_instance = nullptr;
}

void setModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}
HINSTANCE moduleInstance() {
    return g_instance;
}

AcString loadLabel(unsigned id) {
    AcString text;
    text.loadString(g_instance, id);
    return text;
}
}  // namespace kxdisplay
