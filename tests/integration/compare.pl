#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Compares the groups the SQL engines made with the tool's groups; the files are those run.sh
# and engine.sh describe. Usage: compare.pl WORK_DIR ENGINE... (the engines that ran).
# Prints one line per dialect, and the first differences of each period that does not match;
# exits 1 on any mismatch.
use strict;
use warnings;

my ($work, @engines) = @ARGV;
my %engine_of = (oracle => 'postgresql', postgresql => 'postgresql', to_char => 'postgresql',
                 clickhouse => 'clickhouse', duckdb => 'duckdb');
my %ran = map { $_ => 1 } @engines;

# Every group of every file by its first three fields (the tool's code, start of week and src;
# an engine's dialect, expression id and src), as "period start<TAB>station<TAB>sorted lines".
my %groups;
for my $file ('tool', map { "out-$_" } @engines) {
    open(my $in, '<', "$work/$file.tsv") or die "compare.pl: cannot read $file.tsv: $!\n";
    while (my $line = <$in>) {
        chomp $line;
        my @f = split /\t/, $line, -1;
        my $lines = join(',', sort { $a <=> $b } split /,/, pop @f);
        push @{$groups{join("\t", splice(@f, 0, 3))}}, join("\t", @f, $lines);
    }
}

my (%checked, %groups_of, %refused, %failed);
open(my $combos, '<', "$work/combos.tsv") or die "compare.pl: cannot read combos.tsv: $!\n";
while (my $line = <$combos>) {
    chomp $line;
    my ($dialect, $code, $sow, $id, $flag) = split /\t/, $line;
    next unless $ran{$engine_of{$dialect}};
    if ($flag eq 'refused') {
        $refused{$dialect}++;
        next;
    }
    for my $src ('b', 's') {
        my @want = @{$groups{"$code\t$sow\t$src"} // []};
        my @got = @{$groups{"$dialect\t$id\t$src"} // []};
        # The classic text is no timestamp: only the rows of each group count.
        if ($dialect eq 'to_char') { s/^[^\t]*\t// for @want, @got; }
        # Groups the tool has more often than SQL count up, the others down.
        my %surplus;
        $surplus{$_}++ for @want;
        $surplus{$_}-- for @got;
        my @differ = grep { $surplus{$_} } sort keys %surplus;
        $checked{$dialect}++;
        $groups_of{$dialect} += @want;
        my $what = "$dialect, period $code, start of week $sow, " .
                   ($src eq 'b' ? 'boundary readings' : 'sample');
        if ($flag eq 'exact' && @differ) {
            $failed{$dialect}++;
            print "MISMATCH $what: " . scalar(@differ) . " of the tool's " . scalar(@want) .
                  " and SQL's " . scalar(@got) . " groups differ\n";
            printf "  %s %s\n", $surplus{$_} > 0 ? 'tool:' : 'SQL: ', $_ for grep defined, @differ[0 .. 5];
        } elsif ($flag eq 'inexact' && $src eq 'b' && !@differ) {
            $failed{$dialect}++;
            print "MISMATCH $what: the tool warns that the expression groups otherwise, " .
                  "but the boundary readings group the same\n";
        }
    }
}
close $combos;

for my $dialect (sort keys %checked) {
    my $result = $failed{$dialect} ? "$failed{$dialect} MISMATCHES" : 'all as the tool';
    my $note = $refused{$dialect} ? ", $refused{$dialect} refused by the tool" : '';
    print "$dialect on $engine_of{$dialect}: $checked{$dialect} period/start/data set checks " .
          "($groups_of{$dialect} groups)$note: $result\n";
}
exit(%failed ? 1 : 0);
