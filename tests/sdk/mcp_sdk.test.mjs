// The official MCP TypeScript SDK client as a real peer of `brelvo-cli mcp`.
// BRELVO_CLI and BRELVO_SIM name the built binaries.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';
import { ToolListChangedNotificationSchema } from '@modelcontextprotocol/sdk/types.js';

const cli = process.env.BRELVO_CLI;
const sim = process.env.BRELVO_SIM;

async function waitForFile(path) {
  for (let i = 0; i < 500 && !existsSync(path); i++) await sleep(10);
  assert.ok(existsSync(path), `${path} was not written`);
}

async function startSim(dir) {
  const control = join(dir, 'control.json');
  const child = spawn(sim, ['--control', control], { stdio: 'ignore' });
  await waitForFile(control);
  return { child, control };
}

async function connect(args, env) {
  const client = new Client({ name: 'brelvo-sdk-test', version: '1.0.0' });
  const transport = new StdioClientTransport({ command: cli, args, env, stderr: 'pipe' });
  let stderr = '';
  transport.stderr?.on('data', (chunk) => { stderr += chunk; });
  await client.connect(transport);
  return { client, stderr: () => stderr };
}

function textOf(result) {
  assert.equal(result.content[0].type, 'text');
  return JSON.parse(result.content[0].text);
}

test('lists and calls the application tools through the SDK client', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'brelvo-sdk-'));
  const { child, control } = await startSim(dir);
  const { client, stderr } = await connect(['--control', control, 'mcp']);
  try {
    assert.deepEqual(client.getServerVersion(), { name: 'brelvo', title: 'Brelvo Desktop', version: '3.0.0' });
    assert.deepEqual(client.getServerCapabilities(), { tools: { listChanged: true } });
    assert.match(client.getInstructions(), /^Brelvo is a desktop BIM \/ IFC viewer/);

    const { tools } = await client.listTools();
    assert.equal(tools[0].name, 'launch_brelvo');
    const names = tools.map((tool) => tool.name);
    for (const name of ['list_models', 'find_elements', 'screenshot', 'open_file', 'echo']) {
      assert.ok(names.includes(name), `${name} is listed`);
    }

    const echoed = await client.callTool({ name: 'echo', arguments: { wall: 'W-1', ids: [1, 2] } });
    assert.equal(echoed.isError, false);
    assert.deepEqual(textOf(echoed), { ids: [1, 2], wall: 'W-1' });

    const shot = await client.callTool({ name: 'screenshot', arguments: {} });
    assert.equal(shot.isError, false);
    assert.equal(shot.content.length, 2);
    assert.equal(shot.content[1].type, 'image');
    assert.equal(shot.content[1].mimeType, 'image/png');
    assert.equal(Buffer.from(shot.content[1].data, 'base64').subarray(1, 4).toString(), 'PNG');
    assert.equal('imageBase64' in textOf(shot), false);

    const missing = await client.callTool({ name: 'open_file', arguments: { paths: [join(dir, 'missing.ifc')], add: false } });
    assert.equal(missing.isError, true);
    assert.ok('error' in textOf(missing));
  } finally {
    await client.close();
    child.kill('SIGTERM');
    rmSync(dir, { recursive: true, force: true });
  }
  assert.equal(stderr(), '');
});

test('launch_brelvo starts the application and announces the new tools', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'brelvo-sdk-launch-'));
  copyFileSync(cli, join(dir, 'brelvo-cli'));
  copyFileSync(sim, join(dir, 'brelvo-desktop'));
  // Clients start servers with a reduced environment; pass the data directory explicitly.
  const env = { PATH: process.env.PATH, HOME: dir, XDG_DATA_HOME: join(dir, 'data') };
  const control = join(dir, 'data', 'Brelvo', 'control.json');
  const client = new Client({ name: 'brelvo-sdk-test', version: '1.0.0' });
  let changed = 0;
  client.setNotificationHandler(ToolListChangedNotificationSchema, () => { changed += 1; });
  await client.connect(new StdioClientTransport({ command: join(dir, 'brelvo-cli'), args: ['mcp'], env }));
  let appPid;
  try {
    const before = await client.listTools();
    assert.deepEqual(before.tools.map((tool) => tool.name), ['launch_brelvo']);

    const down = await client.callTool({ name: 'echo', arguments: {} });
    assert.equal(down.isError, true);
    assert.match(down.content[0].text, / Call launch_brelvo to start it\.$/);

    const launched = await client.callTool({ name: 'launch_brelvo', arguments: {} });
    assert.equal(launched.isError, false);
    const payload = textOf(launched);
    assert.equal(payload.ok, true);
    assert.equal(payload.app.ready, true);
    appPid = payload.app.pid;
    await waitForFile(control);
    for (let i = 0; i < 100 && changed === 0; i++) await sleep(10);
    assert.equal(changed, 1);

    const after = await client.listTools();
    assert.ok(after.tools.length > 10);
    assert.equal(after.tools[0].name, 'launch_brelvo');
  } finally {
    await client.close();
    if (appPid) process.kill(appPid, 'SIGTERM');
    rmSync(dir, { recursive: true, force: true });
  }
});
