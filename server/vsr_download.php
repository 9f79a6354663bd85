<?php
// vsr_download.php: serves VSR recordings to players that stream them.
//
// GET vsr_download.php?fname=PATH&flag=-1
//     "OK|size|checksum|" (size in bytes, checksum the file's CRC-32), or "22" when there is
//     no such recording.
// GET vsr_download.php?fname=PATH&flag=1&position=P&size=N
//     "OK|" followed by exactly N bytes of the file from offset P (fewer at the end of the
//     file), or "22" when there is no such recording.
//
// PATH is the recording's path from the web server's document root (the player sends the
// path of its address). Only .vsr files inside this script's folder, or inside the folder named
// by the environment variable VSR_RECORDINGS_DIR, are served; anything else is answered as a
// missing file, so the script tells nothing about other files. Malformed requests get status
// 400 and "ERR|reason".
//
// Checksums are cached per recording (see vsr_checksum) in the folder named by the environment
// variable VSR_CHECKSUM_CACHE, by default a folder of the server user's in the temporary folder.

const VSR_MAX_BLOCK_BYTES = 8 * 1024 * 1024;
const VSR_NOT_FOUND = '22';

function vsr_answer(int $status, string $body): void
{
    http_response_code($status);
    header('Content-Type: application/octet-stream');
    header('X-Content-Type-Options: nosniff');
    header('Cache-Control: no-store');
    header('Content-Length: ' . strlen($body));
    echo $body;
}

function vsr_refuse(string $reason): void
{
    vsr_answer(400, 'ERR|' . $reason);
}

// The folders recordings may lie in, resolved.
function vsr_allowed_folders(): array
{
    $folders = [realpath(__DIR__)];
    $configured = getenv('VSR_RECORDINGS_DIR');
    if (is_string($configured) && $configured !== '' && realpath($configured) !== false) {
        $folders[] = realpath($configured);
    }
    return $folders;
}

function vsr_inside(string $path, string $folder): bool
{
    return strncmp($path, $folder . DIRECTORY_SEPARATOR, strlen($folder) + 1) === 0;
}

// The real path of the recording fname names, or null when it must not be served.
function vsr_resolve(string $fname): ?string
{
    if ($fname === '' || strpos($fname, "\0") !== false || strpos($fname, '\\') !== false) {
        return null;
    }
    if ($fname[0] === '/' || preg_match('/^[A-Za-z]:/', $fname)) {
        return null;
    }
    if (in_array('..', explode('/', $fname), true)) {
        return null;
    }
    if (strtolower(pathinfo($fname, PATHINFO_EXTENSION)) !== 'vsr') {
        return null;
    }
    $root = $_SERVER['DOCUMENT_ROOT'] ?? '';
    $base = $root !== '' ? $root : __DIR__;
    $path = realpath($base . '/' . $fname); // follows symbolic links
    if ($path === false || !is_file($path) || !is_readable($path)) {
        return null;
    }
    if (strtolower(pathinfo($path, PATHINFO_EXTENSION)) !== 'vsr') {
        return null; // a link named .vsr that points at another kind of file
    }
    foreach (vsr_allowed_folders() as $folder) {
        if ($folder !== false && vsr_inside($path, $folder)) {
            return $path;
        }
    }
    return null;
}

// A non-negative decimal integer small enough to stay an integer, or null.
function vsr_count(?string $text): ?int
{
    if ($text === null || !preg_match('/^[0-9]{1,18}$/', $text)) {
        return null;
    }
    return (int)$text;
}

// The folder of the checksum cache: VSR_CHECKSUM_CACHE, or a folder of this user's in the
// temporary folder. None when it cannot be made or belongs to somebody else.
function vsr_cache_folder(): ?string
{
    $configured = getenv('VSR_CHECKSUM_CACHE');
    $user = function_exists('posix_geteuid') ? posix_geteuid() : null;
    $folder = is_string($configured) && $configured !== ''
        ? $configured
        : sys_get_temp_dir() . '/vsr-checksums' . ($user !== null ? '-' . $user : '');
    if (!is_dir($folder) && !@mkdir($folder, 0700, true)) {
        return null;
    }
    if (!is_writable($folder) || ($user !== null && fileowner($folder) !== $user)) {
        return null;
    }
    return $folder;
}

// What identifies the file's content without reading it.
function vsr_identity(string $path): ?string
{
    clearstatcache(true, $path);
    $stat = @stat($path);
    if ($stat === false) {
        return null;
    }
    return $stat['size'] . '|' . $stat['mtime'] . '|' . $stat['ctime'] . '|' . $stat['ino'];
}

// The file's CRC-32 as a decimal number. Reading a large file takes a while (about 90 to
// 190 ms for 66 MB), so the value is kept in a cache file per recording, keyed by the file's
// size, times and inode: only the first request after a change reads the file.
function vsr_checksum(string $path): ?string
{
    $identity = vsr_identity($path);
    if ($identity === null) {
        return null;
    }
    $folder = vsr_cache_folder();
    $cache = $folder !== null ? $folder . '/' . sha1($path) : null;
    if ($cache !== null) {
        $held = @file_get_contents($cache);
        if (is_string($held) && preg_match('/^(.+)\|([0-9]{1,10})$/', $held, $match) === 1 &&
            $match[1] === $identity) {
            return $match[2];
        }
    }
    $crc = hash_file('crc32b', $path);
    if ($crc === false) {
        return null;
    }
    $value = (string)hexdec($crc);
    // Kept only when the file did not change while it was read; written whole, then renamed.
    if ($cache !== null && vsr_identity($path) === $identity) {
        $temporary = $cache . '.' . getmypid() . '.tmp';
        if (@file_put_contents($temporary, $identity . '|' . $value) !== false) {
            @rename($temporary, $cache);
        } else {
            @unlink($temporary);
        }
    }
    return $value;
}

function vsr_information(string $path): void
{
    clearstatcache(true, $path);
    $size = filesize($path);
    $crc = vsr_checksum($path);
    if ($size === false || $crc === null) {
        vsr_answer(200, VSR_NOT_FOUND);
        return;
    }
    vsr_answer(200, 'OK|' . $size . '|' . $crc . '|');
}

function vsr_block(string $path, ?string $positionText, ?string $sizeText): void
{
    $position = vsr_count($positionText);
    $size = vsr_count($sizeText);
    if ($position === null || $size === null) {
        vsr_refuse('position and size must be non-negative integers');
        return;
    }
    if ($size > VSR_MAX_BLOCK_BYTES) {
        vsr_refuse('size exceeds ' . VSR_MAX_BLOCK_BYTES . ' bytes');
        return;
    }
    clearstatcache(true, $path);
    $fileSize = filesize($path);
    if ($fileSize === false || $position > $fileSize) {
        vsr_refuse('position lies beyond the end of the file');
        return;
    }
    $file = fopen($path, 'rb');
    if ($file === false || fseek($file, $position) !== 0) {
        vsr_answer(200, VSR_NOT_FOUND);
        return;
    }
    $data = '';
    $wanted = min($size, $fileSize - $position);
    while (strlen($data) < $wanted && !feof($file)) {
        $piece = fread($file, $wanted - strlen($data));
        if ($piece === false || $piece === '') {
            break;
        }
        $data .= $piece;
    }
    fclose($file);
    vsr_answer(200, 'OK|' . $data);
}

function vsr_main(): void
{
    $method = $_SERVER['REQUEST_METHOD'] ?? 'GET';
    if ($method !== 'GET' && $method !== 'HEAD') {
        header('Allow: GET, HEAD');
        vsr_answer(405, 'ERR|only GET is supported');
        return;
    }
    $fname = $_GET['fname'] ?? null;
    $flag = $_GET['flag'] ?? null;
    if (!is_string($fname) || !is_string($flag) || ($flag !== '-1' && $flag !== '1')) {
        vsr_refuse('fname and flag (-1 or 1) are required');
        return;
    }
    $path = vsr_resolve($fname);
    if ($path === null) {
        vsr_answer(200, VSR_NOT_FOUND);
        return;
    }
    if ($flag === '-1') {
        vsr_information($path);
        return;
    }
    $position = $_GET['position'] ?? null;
    $size = $_GET['size'] ?? null;
    vsr_block($path, is_string($position) ? $position : null, is_string($size) ? $size : null);
}

vsr_main();
