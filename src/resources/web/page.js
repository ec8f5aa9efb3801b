// Our own pages: the language, theme and version come in the page's address;
// where the page sits in Pictora's web dialog, its buttons reach the dialog
// through the bridge "pcClient".
(function () {
    var params = new URLSearchParams(window.location.search);
    var root = document.documentElement;
    root.setAttribute('data-lang', params.get('lang') === 'zh_CN' ? 'zh' : 'en');
    root.lang = params.get('lang') === 'zh_CN' ? 'zh-CN' : 'en';
    if (params.get('theme') === 'theme_dark')
        root.classList.add('dark');
    document.addEventListener('DOMContentLoaded', function () {
        var version = params.get('version') || '';
        document.querySelectorAll('.version').forEach(function (el) { el.textContent = version; });
    });
})();

function pictoraBridge(fn) {
    if (typeof qt === 'undefined' || !qt.webChannelTransport || typeof QWebChannel === 'undefined')
        return;
    new QWebChannel(qt.webChannelTransport, function (channel) {
        if (channel.objects.pcClient)
            fn(channel.objects.pcClient);
    });
}

// Ends the dialog with the given result.
function closePage(result) {
    pictoraBridge(function (bridge) { bridge.sltWebClose(result); });
}
