<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ImageDecoder</name>
    <message>
        <source>Video duration is abnormal</source>
        <translation>视频时长异常</translation>
    </message>
    <message>
        <source>Image decode failed</source>
        <translation>图片解码失败</translation>
    </message>
    <message>
        <source>Image ratio is abnormal</source>
        <translation>图片比例异常</translation>
    </message>
    <message>
        <source>Image zoom failed</source>
        <translation>图片缩放失败</translation>
    </message>
    <message>
        <source>Image format conversion failed</source>
        <translation>图片格式转换失败</translation>
    </message>
</context>
<context>
    <name>ImageListItemModel</name>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
</context>
<context>
    <name>ImageListView</name>
    <message>
        <source>Materials</source>
        <translation>素材</translation>
    </message>
    <message>
        <source>Duration...</source>
        <translation>时长...</translation>
    </message>
</context>
<context>
    <name>VistaloClass</name>
    <message>
        <source>%1 files that cannot be added or already exist in the list have been filtered for you</source>
        <translation>已为您过滤 %1 个无法添加或已在列表中的文件</translation>
    </message>
    <message>
        <source>importing material... </source>
        <translation>正在导入素材... </translation>
    </message>
    <message>
        <source>Please add materials first~</source>
        <translation>请先添加素材~</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Editing electronic photo album, do you want to exit the software?</source>
        <translation>正在编辑电子相册，是否退出软件？</translation>
    </message>
    <message>
        <source>Exit will not save the file</source>
        <translation>退出将不会保存文件</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Vistalo</source>
        <translation>电子相册</translation>
    </message>
    <message>
        <source>self-adaption(default)</source>
        <translation>自适应(默认)</translation>
    </message>
    <message>
        <source>picture ratio</source>
        <translation>画面比例</translation>
    </message>
    <message>
        <source>resolution</source>
        <translation>分辨率</translation>
    </message>
    <message>
        <source>export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>setting</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>image duration</source>
        <translation>图片时长</translation>
    </message>
    <message>
        <source>s</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>transition effect</source>
        <translation>转场效果</translation>
    </message>
    <message>
        <source>random</source>
        <translation>随机</translation>
    </message>
    <message>
        <source>background music</source>
        <translation>背景音乐</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>custom</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>Select background music file</source>
        <translation>选择背景音乐文件</translation>
    </message>
    <message>
        <source>Please select background music file</source>
        <translation>请选择背景音乐文件</translation>
    </message>
    <message>
        <source>audio track of video</source>
        <translation>视频原声</translation>
    </message>
    <message>
        <source>keep</source>
        <translation>保留</translation>
    </message>
    <message>
        <source>do not keep</source>
        <translation>不保留</translation>
    </message>
    <message>
        <source>watermark</source>
        <translation>水印</translation>
    </message>
    <message>
        <source>text watermark</source>
        <translation>文字水印</translation>
    </message>
    <message>
        <source>image watermark</source>
        <translation>图片水印</translation>
    </message>
    <message>
        <source>Image watermark help</source>
        <translation>图片水印说明</translation>
    </message>
    <message>
        <source>Please enter the watermark content</source>
        <translation>请输入水印内容</translation>
    </message>
    <message>
        <source>watermark content</source>
        <translation>水印内容</translation>
    </message>
    <message>
        <source>font</source>
        <translation>字体</translation>
    </message>
    <message>
        <source>Please select image watermark</source>
        <translation>请选择图片水印</translation>
    </message>
    <message>
        <source>Select image watermark</source>
        <translation>选择图片水印</translation>
    </message>
    <message>
        <source>select watermark position</source>
        <translation>选择水印位置</translation>
    </message>
    <message>
        <source>top left</source>
        <translation>左上</translation>
    </message>
    <message>
        <source>top</source>
        <translation>上</translation>
    </message>
    <message>
        <source>top right</source>
        <translation>右上</translation>
    </message>
    <message>
        <source>left</source>
        <translation>左</translation>
    </message>
    <message>
        <source>center</source>
        <translation>居中</translation>
    </message>
    <message>
        <source>right</source>
        <translation>右</translation>
    </message>
    <message>
        <source>bottom left</source>
        <translation>左下</translation>
    </message>
    <message>
        <source>bottom</source>
        <translation>下</translation>
    </message>
    <message>
        <source>bottom right</source>
        <translation>右下</translation>
    </message>
    <message>
        <source>preview player</source>
        <translation>预览播放器</translation>
    </message>
    <message>
        <source>click to add files</source>
        <translation>点击添加文件</translation>
    </message>
    <message>
        <source>click to add folder</source>
        <translation>点击添加文件夹</translation>
    </message>
    <message>
        <source>Supports image in .jpeg /.png formats, as well as video in .mp4 /.avi /.wmv /.mkv /.m4v formats</source>
        <translation>支持 .jpeg /.png 格式的图片，以及 .mp4 /.avi /.wmv /.mkv /.m4v 等格式的视频</translation>
    </message>
    <message>
        <source>Materials</source>
        <translation>素材</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>添加文件</translation>
    </message>
    <message>
        <source>Add Folders</source>
        <translation>添加文件夹</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Supported Formats</source>
        <translation>支持的格式</translation>
    </message>
    <message>
        <source>Continue adding</source>
        <comment>continueAdding</comment>
        <translation>继续添加</translation>
    </message>
    <message>
        <source>Do not show this again</source>
        <translation>不再提示</translation>
    </message>
    <message>
        <source>One of the added materials is larger than 4K; reading it may fail or crash the program.</source>
        <translation>添加的素材之一超过4K分辨率，可能会造成</translation>
    </message>
    <message>
        <source>Please adjust the material before adding it.</source>
        <translation>程序解析失败崩溃，建议调整素材后再添加</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>Do you want to delete this material?</source>
        <translation>是否删除该素材？</translation>
    </message>
    <message>
        <source>Do you want to delete all materials?</source>
        <translation>是否删除全部素材？</translation>
    </message>
    <message>
        <source>motion</source>
        <translation>动效</translation>
    </message>
    <message>
        <source>gentle</source>
        <translation>轻柔</translation>
    </message>
    <message>
        <source>motion: none</source>
        <translation>动效：无</translation>
    </message>
    <message>
        <source>motion: gentle zoom and pan</source>
        <translation>动效：轻柔缩放与平移</translation>
    </message>
    <message>
        <source>framing</source>
        <translation>画面适配</translation>
    </message>
    <message>
        <source>fit</source>
        <translation>适应</translation>
    </message>
    <message>
        <source>fill</source>
        <translation>填满</translation>
    </message>
    <message>
        <source>blurred backdrop</source>
        <translation>模糊背景</translation>
    </message>
    <message>
        <source>framing: fit, with bars</source>
        <translation>画面适配：适应，留黑边</translation>
    </message>
    <message>
        <source>framing: fill the frame</source>
        <translation>画面适配：填满画面</translation>
    </message>
    <message>
        <source>framing: blurred backdrop</source>
        <translation>画面适配：模糊背景</translation>
    </message>
    <message>
        <source>Fit to music</source>
        <translation>适配音乐时长</translation>
    </message>
    <message>
        <source>Fit the image duration to the music</source>
        <translation>按音乐长度设置图片时长</translation>
    </message>
    <message>
        <source>Pictora albums (*.pictora)</source>
        <translation>Pictora 相册 (*.pictora)</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 个</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be opened as an album.</source>
        <translation>无法将“%1”作为相册打开。</translation>
    </message>
    <message>
        <source>The album being edited will be replaced by &quot;%1&quot;. Do you want to open it?</source>
        <translation>正在编辑的相册将被“%1”替换。确定要打开吗？</translation>
    </message>
    <message>
        <source>These files of the album could not be opened; the rest of the album is open:</source>
        <translation>相册中的以下文件无法打开，其余部分已打开：</translation>
    </message>
    <message>
        <source>The album is empty: add materials before saving it.</source>
        <translation>相册为空：请先添加素材再保存。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; already exists. Do you want to replace it?</source>
        <translation>“%1”已存在。要替换它吗？</translation>
    </message>
    <message>
        <source>The album was not saved.</source>
        <translation>相册未保存。</translation>
    </message>
    <message>
        <source>album (%1 s)</source>
        <translation>相册（%1 秒）</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>时长</translation>
    </message>
    <message>
        <source>How many seconds does &quot;%1&quot; stay on screen?</source>
        <translation>“%1”在画面上停留多少秒？</translation>
    </message>
</context>
</TS>
