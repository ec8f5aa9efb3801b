<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MediaEncoder</name>
    <message>
        <source>The album has nothing to export</source>
        <translation>相册中没有可导出的素材</translation>
    </message>
    <message>
        <source>Operation interrupted</source>
        <translation>操作已中断</translation>
    </message>
    <message>
        <source>Create output file failed</source>
        <translation>创建输出文件失败</translation>
    </message>
    <message>
        <source>Create output video stream failed</source>
        <translation>创建输出视频流失败</translation>
    </message>
    <message>
        <source>Write file header failed</source>
        <translation>写入文件头失败</translation>
    </message>
    <message>
        <source>Encode video frame failed</source>
        <translation>编码视频帧失败</translation>
    </message>
    <message>
        <source>Encode audio frame failed</source>
        <translation>编码音频帧失败</translation>
    </message>
    <message>
        <source>Write video packet failed</source>
        <translation>写入视频包失败</translation>
    </message>
    <message>
        <source>Write audio packet failed</source>
        <translation>写入音频包失败</translation>
    </message>
    <message>
        <source>Write file trailer failed</source>
        <translation>写入文件尾失败</translation>
    </message>
    <message>
        <source>The file already exists</source>
        <translation>文件已存在</translation>
    </message>
    <message>
        <source>Replace output file failed</source>
        <translation>替换输出文件失败</translation>
    </message>
    <message>
        <source>Open mp3 file failed</source>
        <translation>打开 mp3 文件失败</translation>
    </message>
    <message>
        <source>Can not find audio stream on mp3 file</source>
        <translation>mp3 文件中找不到音频流</translation>
    </message>
    <message>
        <source>Create audio decoder failed</source>
        <translation>创建音频解码器失败</translation>
    </message>
    <message>
        <source>Open audio material failed</source>
        <translation>打开音频素材失败</translation>
    </message>
    <message>
        <source>Can not find audio stream on audio material</source>
        <translation>音频素材中找不到音频流</translation>
    </message>
    <message>
        <source>Create audio decoder of audio material failed</source>
        <translation>创建音频素材的解码器失败</translation>
    </message>
    <message>
        <source>Create filter of audio material failed</source>
        <translation>创建音频素材的滤镜失败</translation>
    </message>
    <message>
        <source>Create output audio stream failed</source>
        <translation>创建输出音频流失败</translation>
    </message>
    <message>
        <source>Create audio mix filter failed</source>
        <translation>创建混音滤镜失败</translation>
    </message>
    <message>
        <source>Create audio filter of BGM failed</source>
        <translation>创建背景音乐的音频滤镜失败</translation>
    </message>
    <message>
        <source>Failed to push frame to filter when writing mute frame</source>
        <translation>写入静音帧时向滤镜送入帧失败</translation>
    </message>
    <message>
        <source>Failed to get frame from filter when writing mute frame</source>
        <translation>写入静音帧时从滤镜获取帧失败</translation>
    </message>
    <message>
        <source>Failed to push left frame to mix filter when writing source audio frame</source>
        <translation>写入素材音频帧时向混音滤镜送入左路帧失败</translation>
    </message>
    <message>
        <source>Failed to push right frame to mix filter when writing source audio frame</source>
        <translation>写入素材音频帧时向混音滤镜送入右路帧失败</translation>
    </message>
    <message>
        <source>Failed to get frame from mix filter when writing source audio frame</source>
        <translation>写入素材音频帧时从混音滤镜获取帧失败</translation>
    </message>
    <message>
        <source>Failed to push frame to filter when writing BGM frame</source>
        <translation>写入背景音乐帧时向滤镜送入帧失败</translation>
    </message>
    <message>
        <source>Failed to get frame from filter when writing BGM frame</source>
        <translation>写入背景音乐帧时从滤镜获取帧失败</translation>
    </message>
    <message>
        <source>Failed to push frame to filter when writing source audio frame</source>
        <translation>写入素材音频帧时向滤镜送入帧失败</translation>
    </message>
    <message>
        <source>Failed to get frame from filter when writing source audio frame</source>
        <translation>写入素材音频帧时从滤镜获取帧失败</translation>
    </message>
    <message>
        <source>Read audio packet failed</source>
        <translation>读取音频包失败</translation>
    </message>
    <message>
        <source>Decode audio packet failed</source>
        <translation>解码音频包失败</translation>
    </message>
    <message>
        <source>Open video material failed</source>
        <translation>打开视频素材失败</translation>
    </message>
    <message>
        <source>Can not find video stream on video material</source>
        <translation>视频素材中找不到视频流</translation>
    </message>
    <message>
        <source>Create video decoder of video material failed</source>
        <translation>创建视频素材的解码器失败</translation>
    </message>
    <message>
        <source>Create filter of video material failed</source>
        <translation>创建视频素材的滤镜失败</translation>
    </message>
    <message>
        <source>Add watermark failed</source>
        <translation>添加水印失败</translation>
    </message>
    <message>
        <source>Image decode failed</source>
        <translation>图片解码失败</translation>
    </message>
    <message>
        <source>Image format conversion failed</source>
        <translation>图片格式转换失败</translation>
    </message>
    <message>
        <source>Image zoom failed</source>
        <translation>图片缩放失败</translation>
    </message>
    <message>
        <source>Create transition filter failed</source>
        <translation>创建转场滤镜失败</translation>
    </message>
    <message>
        <source>Add frame to transition filter failed</source>
        <translation>向转场滤镜添加帧失败</translation>
    </message>
    <message>
        <source>Get frame from transition filter failed</source>
        <translation>从转场滤镜获取帧失败</translation>
    </message>
    <message>
        <source>Create watermark filter failed</source>
        <translation>创建水印滤镜失败</translation>
    </message>
</context>
</TS>
