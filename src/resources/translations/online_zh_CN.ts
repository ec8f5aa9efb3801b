<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CBLLAppUpdate</name>
    <message>
        <source>It is already the latest version!</source>
        <translation>已经是最新版本！</translation>
    </message>
    <message>
        <source>New version detected, whether to close the software and update it?</source>
        <translation>检测到新版本，是否关闭软件并更新？</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>Error: Unable to get the product path!</source>
        <translation>错误：无法获取产品路径！</translation>
    </message>
    <message>
        <source>Error: Unable to start updater,%1</source>
        <translation>错误：无法启动更新程序，%1</translation>
    </message>
</context>
<context>
    <name>CQDlgWebViewKV</name>
    <message>
        <source>Web page</source>
        <comment>CQDlgWebViewKV</comment>
        <translation>网页</translation>
    </message>
    <message>
        <source>Pictora</source>
        <comment>OrvanoAlbum</comment>
        <translation>Pictora 电子相册</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Loading...</source>
        <comment>webloading...</comment>
        <translation>加载中...</translation>
    </message>
    <message>
        <source>The page failed to load. Please refresh.</source>
        <comment>页面加载失败，请刷新重试</comment>
        <translation>页面加载失败，请刷新重试</translation>
    </message>
    <message>
        <source>Refresh</source>
        <comment>刷新</comment>
        <translation>刷新</translation>
    </message>
</context>
<context>
    <name>CQJSAboutUs</name>
    <message>
        <source>About Pictora</source>
        <comment>jstitle_aboutus</comment>
        <translation>关于 Pictora</translation>
    </message>
</context>
<context>
    <name>CQSrvProductInfo</name>
    <message>
        <source>en</source>
        <comment>page language</comment>
        <translation>zh_CN</translation>
    </message>
</context>
</TS>
