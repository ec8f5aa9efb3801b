<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CQPrevTipDialog</name>
    <message>
        <source>Does the preview stutter?</source>
        <translation>视频预览卡顿怎么解决：</translation>
    </message>
    <message>
        <source>Choose a lower quality, such as 1/2.</source>
        <translation>可点击选择较小的视频预览质量（如1/2预览...)</translation>
    </message>
    <message>
        <source>A lower quality plays more smoothly;</source>
        <translation>预览质量越小，视频播放越顺畅；</translation>
    </message>
    <message>
        <source>the exported video keeps its full quality.</source>
        <translation>预览的视频质量不会影响实际的视频导出质量。</translation>
    </message>
</context>
<context>
    <name>CQVideoPlayClass</name>
    <message>
        <source>Full</source>
        <translation>完整预览</translation>
    </message>
    <message>
        <source>1/2</source>
        <translation>1/2预览</translation>
    </message>
    <message>
        <source>1/4</source>
        <translation>1/4预览</translation>
    </message>
    <message>
        <source>1/6</source>
        <translation>1/6预览</translation>
    </message>
    <message>
        <source>Preview quality</source>
        <translation>预览质量</translation>
    </message>
    <message>
        <source>Preview quality help</source>
        <translation>预览质量说明</translation>
    </message>
    <message>
        <source>Preview position</source>
        <translation>预览进度</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>已播放时间</translation>
    </message>
    <message>
        <source>Total time</source>
        <translation>总时长</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
</context>
<context>
    <name>CQVideoShow</name>
    <message>
        <source>No preview</source>
        <translation>无预览</translation>
    </message>
</context>
</TS>
