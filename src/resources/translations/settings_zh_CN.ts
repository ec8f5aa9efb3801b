<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>VistaloClass</name>
    <message>
        <source>Please select background music file</source>
        <translation>请选择背景音乐文件</translation>
    </message>
    <message>
        <source>MP3 File(*.mp3)</source>
        <translation>MP3 文件(*.mp3)</translation>
    </message>
    <message>
        <source>Failed to add background music, because of the abnormal audio</source>
        <translation>音频异常，添加背景音乐失败</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>After switching the watermark type, the original watermark will be replaced.</source>
        <translation>切换水印类型后，原有水印将被替换。</translation>
    </message>
    <message>
        <source>Whether to continue?</source>
        <translation>是否继续？</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Please select image watermark</source>
        <translation>请选择图片水印</translation>
    </message>
    <message>
        <source>JPEG And PNG Files(*.jpg *.jpeg *.png);;JPEG Files(*.jpg *.jpeg);;PNG Files(*.png)</source>
        <translation>JPEG 和 PNG 文件(*.jpg *.jpeg *.png);;JPEG 文件(*.jpg *.jpeg);;PNG 文件(*.png)</translation>
    </message>
    <message>
        <source>Failed to add watermark, because of the abnormal picture</source>
        <translation>图片异常，添加水印失败</translation>
    </message>
    <message>
        <source>To ensure the clarity of the watermark, the recommended upload size of the image is 1274 x 418</source>
        <translation>为保证水印清晰，建议上传图片尺寸为 1274 x 418</translation>
    </message>
</context>
</TS>
