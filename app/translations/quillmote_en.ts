<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>quillmote::ServerStatus</name>
    <message>
        <source>等待启动...</source>
        <comment>Initial Status</comment>
        <translation>Waiting to start...</translation>
    </message>
    <message>
        <source>等待连接...</source>
        <comment>Waiting for Connection</comment>
        <translation>Waiting for a connection...</translation>
    </message>
    <message>
        <source>服务已广播</source>
        <comment>Service Broadcasted</comment>
        <translation>Service advertised</translation>
    </message>
    <message>
        <source>启动失败: %@</source>
        <comment>Start Failed</comment>
        <translation>Failed to start: %@</translation>
    </message>
    <message>
        <source>设备已连接 (%d)</source>
        <comment>Device Connected</comment>
        <translation>Device connected (%d)</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::AddressLabel</name>
    <message>
        <source>地址：%1</source>
        <translation>Address: %1</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::TrayPanelView</name>
    <message>
        <source>Quillmote Server</source>
        <comment>App Name Title</comment>
        <translation>Quillmote Server</translation>
    </message>
    <message>
        <source>v%@</source>
        <translation>v%@</translation>
    </message>
    <message>
        <source>显示主窗口</source>
        <comment>Show Main Window</comment>
        <translation>Show Main Window</translation>
    </message>
    <message>
        <source>配对码</source>
        <comment>Pairing Code Label</comment>
        <translation>Pairing Code</translation>
    </message>
    <message>
        <source>辅助功能权限正常</source>
        <comment>Permission Granted</comment>
        <translation>Input access granted</translation>
    </message>
    <message>
        <source>检查辅助功能权限</source>
        <comment>Check Permission</comment>
        <translation>Check Input Access</translation>
    </message>
    <message>
        <source>退出</source>
        <comment>Quit Button</comment>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::DashboardView</name>
    <message>
        <source>设备…</source>
        <translation>Devices…</translation>
    </message>
    <message>
        <source>配对码</source>
        <comment>Pairing Code Label</comment>
        <translation>Pairing Code</translation>
    </message>
    <message>
        <source>检查辅助功能权限</source>
        <translation>Check Input Access</translation>
    </message>
    <message>
        <source>等待桌面允许远程输入…</source>
        <translation>Waiting for the desktop to allow remote input…</translation>
    </message>
    <message>
        <source>桌面未允许远程输入，点此重新请求</source>
        <translation>The desktop did not allow remote input: ask again</translation>
    </message>
    <message>
        <source>Quillmote</source>
        <translation>Quillmote</translation>
    </message>
    <message>
        <source>v%@</source>
        <translation>v%@</translation>
    </message>
    <message>
        <source>打开主页</source>
        <translation>Open Home Page</translation>
    </message>
    <message>
        <source>点击关闭按钮将最小化到状态栏</source>
        <translation>Closing this window keeps Quillmote in the tray</translation>
    </message>
    <message>
        <source>关闭窗口后 Quillmote 仍在运行，再次启动它即可打开此窗口</source>
        <translation>Quillmote keeps running when this window is closed: launch it again to bring the window back</translation>
    </message>
    <message>
        <source>登录时启动的是构建目录中的程序（%1），删除该目录后将无法启动</source>
        <translation>Login start runs the program in a build folder (%1): it stops working once that folder is removed</translation>
    </message>
    <message>
        <source>退出应用</source>
        <translation>Quit Quillmote</translation>
    </message>
    <message>
        <source>设备已连接</source>
        <translation>Device connected</translation>
    </message>
    <message>
        <source>等待连接...</source>
        <translation>Waiting for a connection...</translation>
    </message>
    <message>
        <source>服务未启动</source>
        <translation>Service not running</translation>
    </message>
    <message>
        <source>登录时启动</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>等待连接（未广播）</source>
        <translation>Waiting for a connection (not advertised)</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::OnboardingView</name>
    <message>
        <source>桌面正在询问是否允许远程交互，请在其对话框中允许</source>
        <translation>Your desktop is asking whether to allow remote interaction: allow it in its dialog</translation>
    </message>
    <message>
        <source>桌面未允许远程交互，点“去授权”重新请求</source>
        <translation>The desktop did not allow remote interaction: press Grant to ask again</translation>
    </message>
    <message>
        <source>辅助功能权限</source>
        <translation>Input Access</translation>
    </message>
    <message>
        <source>用于模拟鼠标移动、点击和键盘输入</source>
        <translation>Lets your phone move the pointer, click and type</translation>
    </message>
    <message>
        <source>本地网络权限</source>
        <translation>Local Network</translation>
    </message>
    <message>
        <source>用于在局域网内发现和连接您的设备</source>
        <translation>Lets your devices find and connect to this computer</translation>
    </message>
    <message>
        <source>开始使用</source>
        <translation>Get Started</translation>
    </message>
    <message>
        <source>重新检查</source>
        <translation>Check Again</translation>
    </message>
    <message>
        <source>已重新检查：avahi-daemon 未运行。开始使用后，手机仍可按地址连接</source>
        <translation>Checked again: avahi-daemon is not running. Once you get started, phones can still connect by address</translation>
    </message>
    <message>
        <source>已重新检查：服务无法启动（%1）</source>
        <translation>Checked again: the service cannot start (%1)</translation>
    </message>
    <message>
        <source>已重新检查：仍在等待 avahi-daemon 回应</source>
        <translation>Checked again: still waiting for avahi-daemon to answer</translation>
    </message>
    <message>
        <source>欢迎使用 Quillmote</source>
        <translation>Welcome to Quillmote</translation>
    </message>
    <message>
        <source>为了正常工作，请授予以下必要权限</source>
        <translation>Quillmote needs the following to work</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::TrayApplication</name>
    <message>
        <source>显示主窗口</source>
        <comment>Show Main Window</comment>
        <translation>Show Main Window</translation>
    </message>
    <message>
        <source>退出</source>
        <comment>Quit Button</comment>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::PairingAttemptsNotice</name>
    <message>
        <source>生成新配对码</source>
        <translation>Draw a new code</translation>
    </message>
    <message>
        <source>最近一分钟内有 %1 次配对失败</source>
        <translation>%1 failed pairing attempts in the last minute</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::ServiceNotice</name>
    <message>
        <source>avahi-daemon 未运行，手机无法自动找到这台电脑。启动它：
sudo systemctl enable --now avahi-daemon</source>
        <translation>avahi-daemon is not running, so phones cannot find this computer by themselves. Start it with:
sudo systemctl enable --now avahi-daemon</translation>
    </message>
    <message>
        <source>端口 %1 被另一个程序占用，本机改用端口 %2：手机须连接上面的地址，不要连 %1。</source>
        <translation>Another program holds port %1, so this computer listens on port %2: phones must use the address above, not port %1.</translation>
    </message>
    <message>
        <source>占用者（%1）可能截获发往该端口的配对码，所以配对码已更换。</source>
        <translation> Its holder (%1) may catch a pairing code sent there, so the pairing code was changed.</translation>
    </message>
    <message>
        <source>未知用户</source>
        <translation>an unknown user</translation>
    </message>
    <message>
        <source>网络上另一个程序也叫“%1”（%2），那不是这台电脑；本机广播为“%3”。</source>
        <translation>Another program on the network calls itself “%1” (%2): that is not this computer, which is advertised as “%3”.</translation>
    </message>
    <message>
        <source>这台电脑连接的 Wi-Fi“%1”没有加密：附近的任何人都能看到手机应用发送的内容，包括配对码和输入的文字。</source>
        <translation>This computer is on the open Wi-Fi network “%1”: anyone near can read what the phone app sends, the pairing code and typed text included.</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::LockScreen</name>
    <message>
        <source>屏幕已锁定：解锁后恢复远程输入</source>
        <translation>The screen is locked: remote input comes back once it is unlocked</translation>
    </message>
    <message>
        <source>屏幕已锁定：远程输入经由 uinput 继续</source>
        <translation>The screen is locked: remote input goes on through uinput</translation>
    </message>
    <message>
        <source>屏幕已锁定，本机不允许锁屏时远程输入：运行 sudo udevadm trigger 并重新登录即可允许</source>
        <translation>The screen is locked and this computer does not allow remote input at its lock screen: run sudo udevadm trigger and log in again to allow it</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::PermissionRow</name>
    <message>
        <source>去授权</source>
        <translation>Grant</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::WebRemoteCard</name>
    <message>
        <source>浏览器遥控</source>
        <translation>Browser remote</translation>
    </message>
    <message>
        <source>新链接</source>
        <translation>New link</translation>
    </message>
    <message>
        <source>生成新的链接和二维码；使用旧链接的手机需要重新扫描</source>
        <translation>Draws a new link and QR code; phones that used the old link must scan again</translation>
    </message>
    <message>
        <source>浏览器遥控尚未启动</source>
        <translation>The browser remote has not started yet</translation>
    </message>
    <message>
        <source>已关闭：手机浏览器无法连接</source>
        <translation>Off: phone browsers cannot connect</translation>
    </message>
    <message>
        <source>用手机相机扫描</source>
        <translation>Scan it with a phone's camera</translation>
    </message>
</context>
<context>
    <name>quillmote::DeviceNotifications</name>
    <message>
        <source>允许新设备？</source>
        <translation>Allow a new device?</translation>
    </message>
    <message>
        <source>允许 %1 控制这台电脑？它发来了正确的配对码。</source>
        <translation>Allow %1 to control this computer? It sent the right pairing code.</translation>
    </message>
    <message>
        <source>允许</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>拒绝</source>
        <translation>Deny</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::DeviceRequestNotice</name>
    <message>
        <source>允许 %1 控制这台电脑？它发来了正确的配对码。</source>
        <translation>Allow %1 to control this computer? It sent the right pairing code.</translation>
    </message>
    <message>
        <source>（还有 %1 个设备在等待）</source>
        <translation> (%1 more waiting)</translation>
    </message>
    <message>
        <source>允许</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>拒绝</source>
        <translation>Deny</translation>
    </message>
</context>
<context>
    <name>quillmote::ui::DevicesDialog</name>
    <message>
        <source>设备</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>新设备配对前询问</source>
        <translation>Ask before a new device pairs</translation>
    </message>
    <message>
        <source>发来正确配对码但从未配对过的设备，须在这台电脑上允许后才能控制它。</source>
        <translation>A device that never paired before must be allowed here before the right code gives it control.</translation>
    </message>
    <message>
        <source>还没有设备用配对码配对过。</source>
        <translation>No device has paired with the code yet.</translation>
    </message>
    <message>
        <source>%1
%2 · 上次连接 %3</source>
        <translation>%1
%2 · last seen %3</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>移除 %1</source>
        <translation>Remove %1</translation>
    </message>
</context>
</TS>
