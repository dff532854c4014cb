'use strict';
// The version resource of VorlaNode.dll, read with the platform's version API, against version().
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');

const { koffi } = vorla;
const api = vorla.open(binaries.dll);
const versionDll = koffi.load('version.dll');
const GetFileVersionInfoSizeW = versionDll.func('uint32_t __stdcall GetFileVersionInfoSizeW(const char16_t *name, _Out_ uint32_t *handle)');
const GetFileVersionInfoW = versionDll.func('int __stdcall GetFileVersionInfoW(const char16_t *name, uint32_t handle, uint32_t size, void *data)');
const VerQueryValueW = versionDll.func('int __stdcall VerQueryValueW(void *block, const char16_t *sub, _Out_ void **value, _Out_ uint32_t *size)');

function versionBlock(file) {
  const size = GetFileVersionInfoSizeW(file, [0]);
  assert.ok(size > 0, 'no version resource');
  const block = koffi.alloc('uint8_t', size);
  assert.equal(GetFileVersionInfoW(file, 0, size, block), 1);
  return block;
}

function query(block, sub) {
  const value = [null];
  const size = [0];
  return VerQueryValueW(block, sub, value, size) === 1 && size[0] > 0 ? { pointer: value[0], size: size[0] } : null;
}

test('file and product version are what version() returns, with the names of the library', (t) => {
  const block = versionBlock(binaries.dll);
  t.after(() => koffi.free(block));
  const [major, minor, patch] = api.version().split('.').map(Number);
  assert.equal(api.version(), '1.0.0');

  const fixed = query(block, '\\');
  assert.ok(fixed, 'no fixed file information');
  const [signature, , fileMS, fileLS, productMS, productLS, , , , fileType] = koffi.decode(fixed.pointer, 'uint32_t', 13);
  assert.equal(signature, 0xfeef04bd);
  assert.deepEqual([fileMS, fileLS, productMS, productLS],
    [(major << 16) | minor, patch << 16, (major << 16) | minor, patch << 16]);
  assert.equal(fileType, 2); // VFT_DLL

  const text = (key) => {
    const found = query(block, `\\StringFileInfo\\040904b0\\${key}`);
    return found ? koffi.decode(found.pointer, 'char16_t', -1) : null;
  };
  assert.deepEqual(
    Object.fromEntries(['FileVersion', 'ProductVersion', 'FileDescription', 'InternalName', 'OriginalFilename', 'ProductName']
      .map((key) => [key, text(key)])),
    {
      FileVersion: api.version(),
      ProductVersion: api.version(),
      FileDescription: 'Vorla font manager library',
      InternalName: 'VorlaNode',
      OriginalFilename: 'VorlaNode.dll',
      ProductName: 'Vorla',
    });
});

test('in the source tree the bridge names the build\'s binaries when given no path', () => {
  const same = (a, b) => assert.equal(path.resolve(a).toLowerCase(), path.resolve(b).toLowerCase());
  same(vorla.defaultDllPath(), binaries.dll);
  same(require('../marlet.js').defaultMarletPath(), binaries.marlet);
});
