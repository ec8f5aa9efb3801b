<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AlbumFile</name>
    <message>
        <source>The album names no materials.</source>
        <translation>该相册没有任何素材。</translation>
    </message>
    <message>
        <source>Material %1 has no path.</source>
        <translation>第 %1 个素材没有路径。</translation>
    </message>
    <message>
        <source>The path of material %1 is empty, holds a zero character or is longer than a path can be.</source>
        <translation>第 %1 个素材的路径为空、含有零字符或超过路径的最大长度。</translation>
    </message>
    <message>
        <source>The turns of material %1 are not a number from 0 to 3.</source>
        <translation>第 %1 个素材的旋转次数不是 0 到 3 之间的数字。</translation>
    </message>
    <message>
        <source>The duration of material %1 is not a number of seconds up to 60.</source>
        <translation>第 %1 个素材的时长不是不超过 60 的秒数。</translation>
    </message>
    <message>
        <source>It is not a file.</source>
        <translation>这不是一个文件。</translation>
    </message>
    <message>
        <source>The file does not exist.</source>
        <translation>文件不存在。</translation>
    </message>
    <message>
        <source>The file is far too large to be an album.</source>
        <translation>文件太大，不可能是相册。</translation>
    </message>
    <message>
        <source>The file cannot be read (%1).</source>
        <translation>无法读取文件（%1）。</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>文件是空的。</translation>
    </message>
    <message>
        <source>The file is damaged: %1 at byte %2.</source>
        <translation>文件已损坏：第 %2 字节处%1。</translation>
    </message>
    <message>
        <source>The file is not a Pictora album.</source>
        <translation>该文件不是 Pictora 相册。</translation>
    </message>
    <message>
        <source>The file is damaged: it has no valid format version.</source>
        <translation>文件已损坏：没有有效的格式版本。</translation>
    </message>
    <message>
        <source>The album was saved by a newer Pictora (format version %1); this one reads version %2 and older.</source>
        <translation>该相册由更新版本的 Pictora 保存（格式版本 %1）；当前版本只能读取 %2 及更早的版本。</translation>
    </message>
    <message>
        <source>The file is damaged: its settings are no list of settings.</source>
        <translation>文件已损坏：其设置不是设置列表。</translation>
    </message>
    <message>
        <source>The setting &quot;%1&quot; has a value Pictora does not know.</source>
        <translation>设置“%1”的值无法识别。</translation>
    </message>
    <message>
        <source>The file is damaged: its transitions are no list.</source>
        <translation>文件已损坏：其转场不是列表。</translation>
    </message>
    <message>
        <source>The file is damaged: a transition has no name.</source>
        <translation>文件已损坏：有一个转场没有名称。</translation>
    </message>
    <message>
        <source>The album cannot be written there (%1).</source>
        <translation>无法在此处写入相册（%1）。</translation>
    </message>
    <message>
        <source>The album could not be written (%1); the file that was there is unchanged.</source>
        <translation>相册未能写入（%1）；原有文件保持不变。</translation>
    </message>
</context>
</TS>
