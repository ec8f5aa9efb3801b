<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ExportDialogFrame</name>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>ExportSettingDialogClass</name>
    <message>
        <source>Pictora</source>
        <translation>Pictora</translation>
    </message>
    <message>
        <source>Export settings</source>
        <comment>ExportSettingDialog</comment>
        <translation>导出设置</translation>
    </message>
    <message>
        <source>export setting</source>
        <translation>导出设置</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>export format</source>
        <translation>导出格式</translation>
    </message>
    <message>
        <source>video</source>
        <translation>视频</translation>
    </message>
    <message>
        <source>frame rate</source>
        <translation>帧率</translation>
    </message>
    <message>
        <source>bit rate</source>
        <translation>码率</translation>
    </message>
    <message>
        <source>audio</source>
        <translation>音频</translation>
    </message>
    <message>
        <source>sample rate</source>
        <translation>采样率</translation>
    </message>
    <message>
        <source>file name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Please enter a file name</source>
        <translation>请输入文件名</translation>
    </message>
    <message>
        <source>Edit the file name</source>
        <translation>编辑文件名</translation>
    </message>
    <message>
        <source>export to</source>
        <translation>导出到</translation>
    </message>
    <message>
        <source>Choose the export folder</source>
        <translation>选择导出文件夹</translation>
    </message>
    <message>
        <source>export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>%1fps</source>
        <translation>%1帧/秒</translation>
    </message>
    <message>
        <source>self-adaption</source>
        <translation>自适应</translation>
    </message>
    <message>
        <source>%1kbps</source>
        <translation>%1kbps</translation>
    </message>
    <message>
        <source>%1Hz</source>
        <translation>%1Hz</translation>
    </message>
    <message>
        <source>The file name is too long!</source>
        <translation>文件名过长！</translation>
    </message>
    <message>
        <source>Invalid file name!</source>
        <translation>文件名无效！</translation>
    </message>
    <message>
        <source>The folder cannot be written to, please choose another</source>
        <translation>无法写入该文件夹，请另选一个</translation>
    </message>
    <message>
        <source>The name is too long for this folder</source>
        <translation>对于该文件夹，文件名过长</translation>
    </message>
    <message>
        <source>That name is in use, a new one is proposed</source>
        <translation>该名称已被占用，已为您换一个新名称</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>The file already exists. Do you want to overwrite it?</source>
        <translation>文件已存在，是否覆盖？</translation>
    </message>
    <message>
        <source>Cover</source>
        <translation>覆盖</translation>
    </message>
    <message>
        <source>Uncover</source>
        <translation>不覆盖</translation>
    </message>
    <message>
        <source>No free name found, please enter another name</source>
        <translation>找不到可用的名称，请输入其他名称</translation>
    </message>
</context>
<context>
    <name>FailDialogClass</name>
    <message>
        <source>Export failed</source>
        <comment>FailDialog</comment>
        <translation>导出失败</translation>
    </message>
    <message>
        <source>Export failed...</source>
        <translation>导出失败...</translation>
    </message>
</context>
<context>
    <name>ProgressDialogClass</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>Material import... </source>
        <translation>正在导入素材... </translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>exporting... </source>
        <translation>正在导出... </translation>
    </message>
    <message>
        <source>cancelling... </source>
        <translation>正在取消... </translation>
    </message>
</context>
<context>
    <name>SuccessDialogClass</name>
    <message>
        <source>Export succeeded</source>
        <comment>SuccessDialog</comment>
        <translation>导出成功</translation>
    </message>
    <message>
        <source>Export succeeded</source>
        <translation>导出成功</translation>
    </message>
    <message>
        <source>Open the export folder</source>
        <translation>打开导出文件夹</translation>
    </message>
</context>
</TS>
