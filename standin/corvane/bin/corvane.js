#!/usr/bin/env node
// Stand-in for the Corvane command-line tool, published to a local registry by the end-to-end
// tests and run by the real npx. It keeps the promises Corvane Setup relies on:
//
//   corvane install --config <answers.json> --yes   sets up the tools the answers name and writes
//                                                   ~/.local/state/corvane/installations.json,
//                                                   keeping the entries of other tools
//   corvane update --all                            rewrites the manifest entries it manages
//   corvane --version                               prints the package's version
//
// Exit status 0 is success; on failure the last line printed says why. It prints the way real
// installers do: ora spinners, colours, warnings on standard error. It never prints a key.
//
// CORVANE_STANDIN_FAIL makes it fail in a chosen way, after its first steps:
//   error[:<line>]     ends with status 1 and <line> (or a default) as its last line
//   hang               spins until it is killed
//   prompt             asks a question and reads the answer from standard input
//   flood[:<MiB>]      prints that much verbose log (default 16 MiB), then fails
// CORVANE_STANDIN_RECORD names a folder where it records, for the tests, what it saw: started.json
// (its process, arguments and terminal), answers.json (the answers, keys only as SHA-256) and
// prompt.json (written when it starts waiting for an answer).
// CORVANE_STANDIN_STEP_MS sets how long each step spins (default 250).
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

import ora from 'ora';

const packageJson = JSON.parse(fs.readFileSync(new URL('../package.json', import.meta.url), 'utf8'));
const version = packageJson.version;

const usage = 'Usage: corvane install --config <file> --yes | corvane update --all | corvane --version';
const manifestPath = path.join(os.homedir(), '.local', 'state', 'corvane', 'installations.json');
const stepMs = Number(process.env.CORVANE_STANDIN_STEP_MS ?? 250);
const recordDir = process.env.CORVANE_STANDIN_RECORD;

const colour = {
    bold: (text) => `\x1b[1m${text}\x1b[22m`,
    dim: (text) => `\x1b[2m${text}\x1b[22m`,
    green: (text) => `\x1b[32m${text}\x1b[39m`,
    yellow: (text) => `\x1b[33m${text}\x1b[39m`,
    red: (text) => `\x1b[31m${text}\x1b[39m`,
};

const tools = {
    'claude-code': {
        name: 'Claude Code',
        configPath: path.join(os.homedir(), '.claude', 'settings.json'),
        funding: ['subscription', 'anthropic-api', 'openrouter'],
    },
    codex: {
        name: 'Codex',
        configPath: path.join(os.homedir(), '.codex', 'config.toml'),
        funding: ['subscription', 'openai-api', 'openrouter'],
    },
};

const keyFor = {
    'anthropic-api': { member: 'anthropicApiKey', name: 'Anthropic' },
    'openai-api': { member: 'openaiApiKey', name: 'OpenAI' },
    openrouter: { member: 'openrouterApiKey', name: 'OpenRouter' },
};

// A failure whose message is the last line the user reads.
class Failure extends Error {
    constructor(message, status = 1) {
        super(message);
        this.status = status;
    }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function record(name, value) {
    if (!recordDir) return;
    fs.mkdirSync(recordDir, { recursive: true });
    fs.writeFileSync(path.join(recordDir, name), JSON.stringify(value, null, 2) + '\n');
}

function warn(text) {
    process.stderr.write(`${colour.yellow('warn')} ${text}\n`);
}

// Runs one step under a spinner; the spinner ends with a tick, or a cross when the step throws.
async function step(text, work, done = text) {
    const spinner = ora(text).start();
    try {
        await sleep(stepMs);
        const result = await work(spinner);
        spinner.succeed(typeof done === 'function' ? done(result) : done);
        return result;
    } catch (error) {
        spinner.fail(text);
        throw error;
    }
}

function parseArguments(argv) {
    const [command, ...rest] = argv;
    const options = { command, flags: new Set(), config: undefined };
    for (let index = 0; index < rest.length; index++) {
        const argument = rest[index];
        if (argument === '--config') {
            if (index + 1 >= rest.length) throw new Failure(`Error: --config needs a file\n${usage}`, 2);
            options.config = rest[++index];
        } else if (argument.startsWith('--config=')) {
            options.config = argument.slice('--config='.length);
        } else if (argument.startsWith('--')) {
            options.flags.add(argument);
        } else {
            throw new Failure(`Error: unexpected argument "${argument}"\n${usage}`, 2);
        }
    }
    return options;
}

function readAnswers(file) {
    let text;
    try {
        const stat = fs.statSync(file);
        if (!stat.isFile()) throw new Failure(`Error: the answers file ${file} is not a file`);
        // The answers may hold API keys: a file others can read was not made by a careful caller.
        if ((stat.mode & 0o077) !== 0)
            throw new Failure(`Error: the answers file ${file} can be read by other users`);
        text = fs.readFileSync(file, 'utf8');
    } catch (error) {
        if (error instanceof Failure) throw error;
        const reasons = { ENOENT: 'no such file', EACCES: 'permission denied', EISDIR: 'it is a folder' };
        throw new Failure(`Error: cannot read the answers file ${file}: ${reasons[error.code] ?? error.message}`);
    }
    let answers;
    try {
        answers = JSON.parse(text);
    } catch {
        throw new Failure(`Error: the answers file ${file} is not valid JSON`);
    }
    const isStringList = (value) => Array.isArray(value) && value.every((item) => typeof item === 'string');
    if (answers === null || typeof answers !== 'object' || Array.isArray(answers))
        throw new Failure(`Error: the answers file ${file} does not hold a JSON object`);
    for (const member of ['harnesses', 'claudeFunding', 'codexFunding']) {
        if (!isStringList(answers[member]))
            throw new Failure(`Error: the answers file ${file} has no list of strings "${member}"`);
    }
    for (const { member } of Object.values(keyFor)) {
        if (member in answers && typeof answers[member] !== 'string')
            throw new Failure(`Error: the answers file ${file} holds a "${member}" that is not a string`);
    }
    if (answers.harnesses.length === 0) throw new Failure('Error: the answers name no tool to set up');
    return answers;
}

// The manifest as it stands, or a new one when there is none or it cannot be used.
function readManifest({ required }) {
    let text;
    try {
        text = fs.readFileSync(manifestPath, 'utf8');
    } catch (error) {
        if (required) throw new Failure(`Error: Corvane is not installed here: ${manifestPath} is missing`);
        return { version: 1, installations: [] };
    }
    try {
        const manifest = JSON.parse(text);
        if (manifest && Array.isArray(manifest.installations)) return manifest;
    } catch {
        // fall through
    }
    if (required) throw new Failure(`Error: the installations manifest ${manifestPath} is damaged`);
    warn(`the installations manifest ${manifestPath} could not be read; writing a new one`);
    return { version: 1, installations: [] };
}

function writeManifest(manifest) {
    manifest.corvane_version = version;
    manifest.updated_at = new Date().toISOString();
    fs.mkdirSync(path.dirname(manifestPath), { recursive: true });
    const side = `${manifestPath}.${process.pid}.tmp`;
    fs.writeFileSync(side, JSON.stringify(manifest, null, 2) + '\n');
    fs.renameSync(side, manifestPath);
}

// The manifest entry for one tool: its first funding is the provider it uses, the rest are tried
// after it in order.
function entryFor(id, funding) {
    const entry = { harness: id, disabled: false, installed_by: `corvane@${version}` };
    const [first, ...fallbacks] = funding;
    if (id === 'claude-code') {
        entry.user_funded_provider = first === 'subscription' ? 'claude-subscription' : first;
    } else if (id === 'codex') {
        entry.openai_subscription_auth = first === 'subscription';
        if (first !== 'subscription') entry.user_funded_provider = first;
    }
    if (fallbacks.length > 0) entry.fallback_providers = fallbacks;
    return entry;
}

function checkFunding(answers) {
    for (const id of answers.harnesses) {
        const tool = tools[id];
        if (!tool) continue;
        const funding = id === 'claude-code' ? answers.claudeFunding : answers.codexFunding;
        if (funding.length === 0) throw new Failure(`Error: the answers say nothing of how ${tool.name} is paid for`);
        for (const choice of funding) {
            if (!tool.funding.includes(choice))
                throw new Failure(`Error: ${tool.name} cannot be funded by "${choice}"`);
            const key = keyFor[choice];
            if (key && !answers[key.member])
                throw new Failure(`Error: ${tool.name} is to be funded by ${key.name}, but the answers hold no ${key.name} API key`);
        }
    }
}

function fingerprint(key) {
    return crypto.createHash('sha256').update(key, 'utf8').digest('hex');
}

function describeFunding(funding) {
    const names = { subscription: 'subscription', 'anthropic-api': 'Anthropic API key', 'openai-api': 'OpenAI API key', openrouter: 'OpenRouter key' };
    return funding.map((choice) => names[choice] ?? choice).join(', then ');
}

// The chosen way to fail, once the run is under way.
async function failAsTold() {
    const [mode, ...detailParts] = (process.env.CORVANE_STANDIN_FAIL ?? '').split(':');
    const detail = detailParts.join(':');
    switch (mode) {
        case '':
            return;
        case 'error':
            throw new Failure(detail || 'Error: the Corvane service refused the request (stand-in failure)');
        case 'hang': {
            ora('Waiting for the sign-in to finish in your browser…').start();
            // The spinner's timer alone would not keep the process alive where it does not spin.
            setInterval(() => {}, 60_000);
            await new Promise(() => {});
            return;
        }
        case 'prompt': {
            record('prompt.json', { waiting: true });
            process.stdout.write(`${colour.bold('?')} Replace the existing Claude Code settings? (y/N) `);
            const input = readline.createInterface({ input: process.stdin });
            const answer = await new Promise((resolve) => {
                input.once('line', resolve);
                input.once('close', () => resolve(undefined));
            });
            input.close();
            if (answer === undefined) throw new Failure('Error: no answer: standard input was closed');
            if (!/^y(es)?$/i.test(answer.trim())) throw new Failure('Error: cancelled by the user');
            return;
        }
        case 'flood': {
            const mebibytes = Number(detail || 16);
            const line = `${colour.dim('npm verb')} fetch GET 200 http://registry.invalid/some-package 12ms (cache revalidated) ${'.'.repeat(40)}\n`;
            const chunk = line.repeat(Math.ceil(65536 / line.length));
            const chunks = Math.ceil((mebibytes * 1024 * 1024) / chunk.length);
            for (let index = 0; index < chunks; index++) {
                if (!process.stdout.write(chunk)) await new Promise((resolve) => process.stdout.once('drain', resolve));
            }
            throw new Failure('Error: the verbose run ended without installing anything (stand-in failure)');
        }
        default:
            throw new Failure(`Error: unknown CORVANE_STANDIN_FAIL mode "${mode}"`, 2);
    }
}

async function install(options) {
    if (!options.config) throw new Failure(`Error: install needs --config <file>\n${usage}`, 2);
    if (!options.flags.has('--yes')) throw new Failure(`Error: install asks before it changes anything; pass --yes\n${usage}`, 2);

    const answers = await step('Reading your answers…', () => readAnswers(options.config),
        (read) => `Read your answers: ${read.harnesses.join(', ')}`);
    record('answers.json', {
        harnesses: answers.harnesses,
        claudeFunding: answers.claudeFunding,
        codexFunding: answers.codexFunding,
        keys: Object.fromEntries(Object.values(keyFor)
            .filter(({ member }) => typeof answers[member] === 'string')
            .map(({ member }) => [member, fingerprint(answers[member])])),
    });
    checkFunding(answers);
    await failAsTold();

    const manifest = readManifest({ required: false });
    for (const id of answers.harnesses) {
        const tool = tools[id];
        if (!tool) {
            warn(`"${id}" is no tool this version knows; it is kept as it is`);
            continue;
        }
        const funding = id === 'claude-code' ? answers.claudeFunding : answers.codexFunding;
        await step(`Setting up ${tool.name}…`, () => {
            if (!fs.existsSync(tool.configPath)) warn(`${tool.configPath} does not exist yet; ${tool.name} will create it on its first start`);
        }, `${tool.name} uses your ${describeFunding(funding)}`);
    }
    await step('Saving your installations…', () => {
        const chosen = new Set(answers.harnesses);
        const kept = manifest.installations.filter((entry) => !chosen.has(entry?.harness));
        const written = answers.harnesses.map((id) =>
            entryFor(id, id === 'claude-code' ? answers.claudeFunding : id === 'codex' ? answers.codexFunding : []));
        manifest.installations = [...kept, ...written];
        writeManifest(manifest);
    }, `Saved ${manifestPath}`);

    const starts = answers.harnesses.filter((id) => tools[id]).map((id) => (id === 'claude-code' ? 'corv claude' : 'corv codex'));
    console.log(colour.green(`${colour.bold('Corvane')} ${version} is set up.`) + (starts.length ? ` Start with: ${starts.join(' or ')}` : ''));
}

async function update(options) {
    if (!options.flags.has('--all')) throw new Failure(`Error: update needs --all\n${usage}`, 2);
    const manifest = await step('Checking your installations…', () => readManifest({ required: true }),
        (read) => `Found ${read.installations.length} installation(s)`);
    await failAsTold();
    const updated = [];
    for (const entry of manifest.installations) {
        const tool = tools[entry?.harness];
        if (!tool || entry.disabled === true) continue;
        await step(`Updating ${tool.name}…`, () => {
            entry.installed_by = `corvane@${version}`;
        }, `${tool.name} is on Corvane ${version}`);
        updated.push(tool.name);
    }
    writeManifest(manifest);
    console.log(colour.green(`${colour.bold('Corvane')} ${version}: ${updated.length ? `updated ${updated.join(', ')}` : 'nothing to update'}.`));
}

async function main() {
    const argv = process.argv.slice(2);
    if (argv.length === 1 && (argv[0] === '--version' || argv[0] === '-v')) {
        console.log(version);
        return;
    }
    record('started.json', {
        pid: process.pid,
        ppid: process.ppid,
        version,
        argv,
        isTTY: Boolean(process.stdout.isTTY),
        columns: process.stdout.columns ?? null,
        rows: process.stdout.rows ?? null,
        term: process.env.TERM ?? null,
    });
    // Like npm, name the terminal's window after what runs in it.
    if (process.stdout.isTTY) process.stdout.write(`\x1b]0;corvane ${argv.join(' ')}\x07`);
    console.log(`${colour.bold('Corvane')} ${colour.dim(version)}`);

    const options = parseArguments(argv);
    switch (options.command) {
        case 'install':
            return install(options);
        case 'update':
            return update(options);
        case undefined:
            throw new Failure(`Error: no command given\n${usage}`, 2);
        default:
            throw new Failure(`Error: unknown command "${options.command}"\n${usage}`, 2);
    }
}

try {
    await main();
} catch (error) {
    if (!(error instanceof Failure)) throw error;
    const lines = error.message.split('\n');
    for (const [index, line] of lines.entries())
        process.stderr.write(`${index === 0 ? colour.red(line) : line}\n`);
    process.exitCode = error.status;
}
