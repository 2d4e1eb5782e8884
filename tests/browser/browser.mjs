// The system's Chromium, headless, driven by playwright-core: never a browser
// that a tool downloads. With no Chromium or no node_modules (npm ci), the
// scripts exit with 77, which ctest reports as skipped.
import { mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const SKIP = 77;
export const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';

export async function launch(viewport = { width: 1280, height: 900 }) {
  if (!existsSync(chromiumPath)) {
    console.log(`skipped: no Chromium at ${chromiumPath} (apt-get install chromium)`);
    process.exit(SKIP);
  }
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch {
    console.log('skipped: playwright-core is not installed (run npm ci in tests/browser)');
    process.exit(SKIP);
  }
  const profile = mkdtempSync(join(tmpdir(), 'catalogue-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    viewport,
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--no-first-run', '--disable-sync', '--force-color-profile=srgb'],
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
